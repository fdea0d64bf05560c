#include "addin/host/channel.h"

namespace qs {

namespace {
std::shared_ptr<ChannelWindowService>& Service() {
    static std::shared_ptr<ChannelWindowService> service = std::make_shared<LocalChannelWindows>();
    return service;
}
}  // namespace

ChannelWindowService& ChannelWindows() { return *Service(); }
void SetChannelWindowService(std::shared_ptr<ChannelWindowService> service) {
    Service() = service ? std::move(service) : std::make_shared<LocalChannelWindows>();
}

bool LocalChannelWindows::Create(const std::string& title, ChannelHandler handler) {
    m_windows[title] = std::move(handler);
    return true;
}

void LocalChannelWindows::Destroy(const std::string& title) { m_windows.erase(title); }

intptr_t LocalChannelWindows::Send(const std::string& title, unsigned message, uintptr_t wParam, intptr_t lParam,
                                   bool* found) {
    auto it = m_windows.find(title);
    if (found) *found = it != m_windows.end();
    if (it == m_windows.end()) return 0;
    ChannelHandler h = it->second;  // the handler may destroy its window
    return h(message, wParam, lParam);
}

bool LocalChannelWindows::Exists(const std::string& title) const { return m_windows.count(title) > 0; }

}  // namespace qs
