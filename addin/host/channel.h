// The add-in's channel window: a hidden top-level window other programs find by its title and send
// messages to. The window system itself is the platform layer's; the add-in supplies the handler.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace qs {

constexpr unsigned WM_TCARD = 0x0052;
constexpr unsigned WM_USER = 0x0400;
// Asks the add-in for the host's screen setting: the answer is the width in pixels times 65536 plus
// the height (0 when the host does not say). The tutorial hook places the welcome window by it.
constexpr unsigned kChannelScreenQuery = WM_USER + 1;

using ChannelHandler = std::function<intptr_t(unsigned message, uintptr_t wParam, intptr_t lParam)>;

class ChannelWindowService {
public:
    virtual ~ChannelWindowService() = default;
    // Creates a hidden window with this title whose messages go to `handler`; false when it fails.
    virtual bool Create(const std::string& title, ChannelHandler handler) = 0;
    virtual void Destroy(const std::string& title) = 0;
    // Sends a message to the window with this title (in this process or another) and returns the
    // handler's answer; 0 with *found = false when there is no such window.
    virtual intptr_t Send(const std::string& title, unsigned message, uintptr_t wParam, intptr_t lParam,
                          bool* found) = 0;
    // The first top-level window of class `className` whose handle has these low 16 bits; 0 when
    // there is none (or no window system).
    // Makes `window` ignore (swallow) or again receive its non-client paint messages, which keeps
    // the menu bar from flickering while the screen is not updated. False when not possible.
    virtual bool SetNcPaintSwallowed(uint64_t window, bool swallow) {
        (void)window;
        (void)swallow;
        return false;
    }
    virtual uint64_t FindByClassAndLowBits(const std::string& className, uint16_t lowBits) {
        (void)className;
        (void)lowBits;
        return 0;
    }
};

// Windows of this process only (tests, and hosts without a window service).
class LocalChannelWindows : public ChannelWindowService {
public:
    bool Create(const std::string& title, ChannelHandler handler) override;
    void Destroy(const std::string& title) override;
    intptr_t Send(const std::string& title, unsigned message, uintptr_t wParam, intptr_t lParam, bool* found) override;
    bool Exists(const std::string& title) const;

private:
    std::map<std::string, ChannelHandler> m_windows;
};

ChannelWindowService& ChannelWindows();
void SetChannelWindowService(std::shared_ptr<ChannelWindowService> service);

}  // namespace qs
