// Top-level windows found by title, and messages sent to them.
//
// A window belongs to the process that made it and has a procedure that answers messages. Inside
// that process SendMessage calls the procedure directly. Every window is also published on a
// Unix-domain socket in the run folder, named after its title, so that another process can find
// it by title and send it messages; the owner answers them when it services its message sockets
// (PumpMessages / WaitReadable), on its own thread, one at a time, as a window procedure would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

using WindowHandle = std::uint64_t;  // 0 = no window
using WindowProc =
    std::function<std::intptr_t(WindowHandle, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)>;

constexpr std::uint32_t WM_NULL = 0x0000;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_NCPAINT = 0x0085;
constexpr std::uint32_t WM_TCARD = 0x0052;
constexpr std::uint32_t WM_USER = 0x0400;
constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;

// Makes a top-level window of this process. The title is how others find it; a window whose
// title is already published by a live process stays reachable only inside this process.
WindowHandle CreateWindow(const std::string& className, const std::string& title, std::uint32_t style, WindowProc proc);
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
// True when the window belongs to this process.
bool IsLocalWindow(WindowHandle window);
std::string GetWindowText(WindowHandle window);
std::string GetClassName(WindowHandle window);
bool SetWindowText(WindowHandle window, const std::string& title);
// Replaces the window procedure; returns the previous one.
WindowProc SetWindowProc(WindowHandle window, WindowProc proc);

// The first window with this title (and class, when className is not empty): windows of this
// process first, then windows published by other live processes. 0 when there is none.
WindowHandle FindWindow(const std::string& className, const std::string& title);
// All top-level windows: this process's, then other processes' published ones.
std::vector<WindowHandle> EnumWindows();

// Sends a message and waits for the answer. For a window of another process the call waits at
// most timeoutMs for it to answer; an unreachable window answers 0.
std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                          int timeoutMs = 10000);

// Answers pending messages from other processes, waiting at most timeoutMs for the first one
// (0: do not wait). Returns how many were answered.
int PumpMessages(int timeoutMs);
// Waits until fd is readable (or timeoutMs passes, -1 = forever), answering messages from other
// processes meanwhile. Returns true when fd is readable; false on timeout or when a signal
// interrupted the wait.
bool WaitReadable(int fd, int timeoutMs = -1);

// ---- services used by the automation layer (platform/automation.cpp) ----
namespace detail {
// A listening endpoint in the run folder; incoming requests are handed to the handler, which
// returns the reply bytes.
using EndpointHandler = std::function<std::string(const std::string& request)>;
// Publishes an endpoint; false when another live process already holds the name.
bool Publish(const std::string& name, EndpointHandler handler);
void Unpublish(const std::string& name);
// Sends a request to a published endpoint; false when nobody answers in time.
bool Request(const std::string& name, const std::string& request, std::string& reply, int timeoutMs);
// True when a live process holds the endpoint.
bool IsPublished(const std::string& name);
}  // namespace detail

}  // namespace platform
