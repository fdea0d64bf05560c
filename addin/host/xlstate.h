// Host state shared by the call layer: the application's version and automation handle, the state
// scopes (status bar, screen updating, ESC handling), the ESC check and the diagnostic log.
#pragma once

#include <cstdint>
#include <string>

namespace qs {

class AutomationApp;

// What the call layer knows of the host application; filled by the application object.
struct XlHostInfo {
    int version = 0;                      // major version; 0 until read
    AutomationApp* automation = nullptr;  // connected automation object, if any
    uint64_t mainWindow = 0;              // the host's main window, once found
};
XlHostInfo& HostInfo();

// A stack-scoped host state. Making a scope applies it; ending it re-applies the scope that was
// current when it was made (or leaves none current).
class XlStateScope {
public:
    // messageId 0 = no status message; escMode 0 = ESC ignored, 1 = ESC may cancel.
    XlStateScope(unsigned messageId, int escMode, bool screenUpdating);
    // Keeps the current scope's message and ESC mode, changes screen updating.
    explicit XlStateScope(bool screenUpdating);
    ~XlStateScope();
    XlStateScope(const XlStateScope&) = delete;
    XlStateScope& operator=(const XlStateScope&) = delete;

    static XlStateScope* Current();

    unsigned MessageId() const { return m_messageId; }
    int EscMode() const { return m_escMode; }
    bool ScreenUpdating() const { return m_screenUpdating; }
    XlStateScope* Previous() const { return m_previous; }

private:
    void Apply() const;
    unsigned m_messageId;
    int m_escMode;
    bool m_screenUpdating;
    XlStateScope* m_previous;
};

// Throws CancelKeyException::Instance() when the current scope lets ESC cancel and ESC was pressed.
void CheckEscape();

// Appends one entry to the diagnostic log "Quelstat.log" in the settings folder. Never raises.
void LogEntry(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The log file's path ("" when there is no settings folder).
std::string LogPath();
// The settings folder: $QUELSTAT_HOME, else $XDG_CONFIG_HOME/quelstat, else ~/.config/quelstat.
std::string SettingsFolder();

}  // namespace qs
