#include "addin/host/xlstate.h"

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "addin/host/automation.h"
#include "addin/host/channel.h"
#include "addin/host/exceptions.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
XlStateScope* g_current = nullptr;
}

XlHostInfo& HostInfo() {
    static XlHostInfo info;
    return info;
}

XlStateScope::XlStateScope(unsigned messageId, int escMode, bool screenUpdating)
    : m_messageId(messageId), m_escMode(escMode), m_screenUpdating(screenUpdating), m_previous(g_current) {
    g_current = this;
    Apply();
}

XlStateScope::XlStateScope(bool screenUpdating)
    : m_messageId(g_current ? g_current->m_messageId : 0),
      m_escMode(g_current ? g_current->m_escMode : 0),
      m_screenUpdating(screenUpdating),
      m_previous(g_current) {
    g_current = this;
    Apply();
}

XlStateScope::~XlStateScope() {
    g_current = m_previous;
    if (m_previous) m_previous->Apply();
}

XlStateScope* XlStateScope::Current() { return g_current; }

// Applies this scope to the host. Whatever fails is ignored: the scope is current in any case.
void XlStateScope::Apply() const {
    Guarded([&] { XlCall(XLF_CANCEL_KEY, {static_cast<double>(m_escMode)}); });
    Guarded([&] {
        XlValue now = XlCallResult(XLF_GET_WORKSPACE, {40});
        bool known = now.Is(XLTYPE_BOOL) || now.Is(XLTYPE_NUM);
        bool on = now.Is(XLTYPE_BOOL) ? now.val.xbool != 0 : now.Number() != 0;
        if (known && on == m_screenUpdating) return;
        XlCall(XLC_ECHO, {m_screenUpdating});
        // The chart command bar follows screen updating (it would otherwise flash while charts are
        // written). A host without automation has no such bar to switch.
        XlHostInfo& host = HostInfo();
        if (host.version == 7 && host.mainWindow) {
            // Version 7 repaints its menu bar while the screen is off; its main window ignores
            // non-client paints meanwhile.
            ChannelWindows().SetNcPaintSwallowed(host.mainWindow, !m_screenUpdating);
        }
        if (host.version >= 8 && host.automation) {
            try {
                SetCommandBarEnabled(*host.automation, "Chart", m_screenUpdating);
            } catch (CException* e) {
                e->Delete();
                LogEntry("XSCHART: toolbar switch failed");
            }
        }
    });
    Guarded([&] {
        if (m_messageId == 0) {
            XlCall(XLC_MESSAGE, {false});
        } else {
            std::string text = LoadString(m_messageId).str();
            if (m_escMode == 1) text += LoadString(ids::kStatusEscToCancel).view();
            XlCall(XLC_MESSAGE, {true, text});
        }
    });
}

void CheckEscape() {
    XlStateScope* s = XlStateScope::Current();
    if (!s || s->EscMode() != 1) return;
    if (XlCallBool(xlAbort)) {
        XlCall(xlAbort, {false});
        throw CancelKeyException::Instance();
    }
}

// ---- Settings folder and diagnostic log ------------------------------------------------------------

std::string SettingsFolder() {
    if (const char* h = std::getenv("QUELSTAT_HOME"); h && *h) return h;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/quelstat";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/quelstat";
    return {};
}

std::string LogPath() {
    std::string folder = SettingsFolder();
    return folder.empty() ? folder : folder + "/Quelstat.log";
}

namespace {
FILE* g_log = nullptr;
std::string g_logPath;

FILE* OpenLog() {
    std::string path = LogPath();
    if (g_log && path == g_logPath) return g_log;
    if (g_log) std::fclose(g_log);
    g_log = nullptr;
    g_logPath = path;
    if (path.empty()) return nullptr;
    struct stat st;
    if (::stat(SettingsFolder().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    g_log = std::fopen(path.c_str(), "rb+");
    if (g_log)
        std::fseek(g_log, 0, SEEK_END);
    else
        g_log = std::fopen(path.c_str(), "wb+");
    return g_log;
}
}  // namespace

void LogEntry(const char* fmt, ...) {
    try {
        FILE* f = OpenLog();
        if (!f) return;
        char buf[2048];
        va_list ap;
        va_start(ap, fmt);
        int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
        va_end(ap);
        if (n < 0) return;
        std::string entry(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
        entry += "\r\n";
        for (char& c : entry) c = static_cast<char>(c ^ 0x4D);  // entries are kept scrambled
        std::fwrite(entry.data(), 1, entry.size(), f);
        std::fflush(f);
    } catch (...) {
        // the log never raises
    }
}

}  // namespace qs
