#include "platform/windows.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/fileutil.h"
#include "platform/settings.h"

namespace platform {

namespace {

// ---------------------------------------------------------------- endpoints

std::string EncodeName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
        c == '-') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string DecodeName(const std::string& enc) {
  std::string out;
  for (std::size_t i = 0; i < enc.size(); ++i) {
    if (enc[i] == '%' && i + 2 < enc.size()) {
      out += static_cast<char>(std::stoi(enc.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += enc[i];
    }
  }
  return out;
}

bool SocketAddress(const std::string& name, sockaddr_un& addr) {
  std::string path = (RunFolder() / (EncodeName(name) + ".sock")).string();
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms < 0 ? 0 : static_cast<int>(ms);
}

struct Endpoint {
  int fd = -1;
  detail::EndpointHandler handler;
};
std::map<std::string, Endpoint>& Endpoints() {
  static auto* endpoints = new std::map<std::string, Endpoint>;  // lives to the process end
  return *endpoints;
}

int ServeOne(int listenFd);

// Waits for fd to be ready for `events`, answering incoming requests meanwhile (as a thread that
// waits in SendMessage still receives sent messages). Returns false on timeout.
bool WaitServing(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back(pollfd{fd, events, 0});
    for (auto& [name, ep] : Endpoints()) fds.push_back(pollfd{ep.fd, POLLIN, 0});
    int timeout = deadline == Clock::time_point::max() ? -1 : Remaining(deadline);
    int n = ::poll(fds.data(), fds.size(), timeout);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    for (std::size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN) ServeOne(fds[i].fd);
    if (fds[0].revents) return true;
  }
}

bool WriteAll(int fd, const char* p, std::size_t n, Clock::time_point deadline) {
  while (n > 0) {
    ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (!WaitServing(fd, POLLOUT, deadline)) return false;
        continue;
      }
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool ReadAll(int fd, char* p, std::size_t n, Clock::time_point deadline, bool serve) {
  while (n > 0) {
    ssize_t r = ::recv(fd, p, n, MSG_DONTWAIT);
    if (r == 0) return false;
    if (r < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (serve) {
          if (!WaitServing(fd, POLLIN, deadline)) return false;
        } else {
          pollfd p1{fd, POLLIN, 0};
          if (::poll(&p1, 1, Remaining(deadline)) <= 0) return false;
        }
        continue;
      }
      return false;
    }
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

constexpr std::uint32_t kMaxFrame = 16u << 20;

bool WriteFrame(int fd, const std::string& bytes, Clock::time_point deadline) {
  std::uint32_t len = static_cast<std::uint32_t>(bytes.size());
  char head[4];
  std::memcpy(head, &len, 4);
  return WriteAll(fd, head, 4, deadline) && WriteAll(fd, bytes.data(), bytes.size(), deadline);
}

bool ReadFrame(int fd, std::string& bytes, Clock::time_point deadline, bool serve) {
  char head[4];
  if (!ReadAll(fd, head, 4, deadline, serve)) return false;
  std::uint32_t len;
  std::memcpy(&len, head, 4);
  if (len > kMaxFrame) return false;
  bytes.assign(len, '\0');
  return ReadAll(fd, bytes.data(), len, deadline, serve);
}

// Accepts one connection on a listening socket and answers its request.
int ServeOne(int listenFd) {
  int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (c < 0) return 0;
  // Requests are answered for programs of the same user only.
  ucred peer{};
  socklen_t len = sizeof peer;
  if (::getsockopt(c, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::getuid()) {
    ::close(c);
    return 0;
  }
  const detail::EndpointHandler* handler = nullptr;
  for (auto& [name, ep] : Endpoints())
    if (ep.fd == listenFd) handler = &ep.handler;
  int served = 0;
  // A request must arrive promptly once connected; a silent client is dropped.
  auto deadline = Clock::now() + std::chrono::seconds(5);
  std::string request;
  if (handler && ReadFrame(c, request, deadline, false)) {
    detail::EndpointHandler h = *handler;  // the handler may unpublish its own endpoint
    std::string reply;
    try {
      reply = h(request);
    } catch (...) {
      reply.clear();
    }
    WriteFrame(c, reply, Clock::now() + std::chrono::seconds(5));
    served = 1;
  }
  ::close(c);
  return served;
}

int Connect(const std::string& name) {
  sockaddr_un addr;
  if (!SocketAddress(name, addr)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// ---------------------------------------------------------------- windows

struct LocalWindow {
  std::string className;
  std::string title;
  std::uint32_t style = 0;
  WindowProc proc;
  std::string endpoint;  // published endpoint name, empty if not published
};

constexpr WindowHandle kRemoteBit = WindowHandle{1} << 63;

struct WindowTable {
  WindowHandle next = 0x10010;
  std::map<WindowHandle, LocalWindow> local;
  std::map<WindowHandle, std::string> remote;  // handle -> endpoint name
};
WindowTable& Windows() {
  static auto* table = new WindowTable;  // lives to the process end
  return *table;
}

const std::string kWindowPrefix = "win-";

std::string PackMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  std::string out(1, 'M');
  std::uint64_t w = wParam;
  std::int64_t l = lParam;
  out.append(reinterpret_cast<const char*>(&msg), 4);
  out.append(reinterpret_cast<const char*>(&w), 8);
  out.append(reinterpret_cast<const char*>(&l), 8);
  return out;
}

std::string WindowEndpointHandler(WindowHandle h, const std::string& req) {
  auto& table = Windows().local;
  auto it = table.find(h);
  if (it == table.end() || req.empty()) return {};
  if (req[0] == 'C') return it->second.className;
  if (req[0] == 'T') return it->second.title;
  if (req[0] == 'M' && req.size() == 21) {
    std::uint32_t msg;
    std::uint64_t w;
    std::int64_t l;
    std::memcpy(&msg, req.data() + 1, 4);
    std::memcpy(&w, req.data() + 5, 8);
    std::memcpy(&l, req.data() + 13, 8);
    WindowProc proc = it->second.proc;
    std::int64_t result = proc ? proc(h, msg, static_cast<std::uintptr_t>(w), static_cast<std::intptr_t>(l)) : 0;
    return std::string(reinterpret_cast<const char*>(&result), 8);
  }
  return {};
}

WindowHandle RemoteHandle(const std::string& endpoint) {
  auto& remote = Windows().remote;
  for (auto& [h, name] : remote)
    if (name == endpoint) return h;
  WindowHandle h = kRemoteBit | (remote.size() + 1);
  remote[h] = endpoint;
  return h;
}

bool RemoteQuery(WindowHandle w, const std::string& req, std::string& reply, int timeoutMs) {
  auto it = Windows().remote.find(w);
  if (it == Windows().remote.end()) return false;
  return detail::Request(it->second, req, reply, timeoutMs);
}

std::vector<std::string> PublishedWindowEndpoints() {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(RunFolder(), ec)) {
    std::string file = entry.path().filename().string();
    if (file.size() < 5 || file.substr(file.size() - 5) != ".sock") continue;
    std::string name = DecodeName(file.substr(0, file.size() - 5));
    if (name.rfind(kWindowPrefix, 0) == 0) out.push_back(name);
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------- detail

namespace detail {

bool Publish(const std::string& name, EndpointHandler handler) {
  if (Endpoints().count(name)) return false;
  sockaddr_un addr;
  if (!SocketAddress(name, addr)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // The run folder is shared by all processes using this settings folder; the lock makes
  // the check for a live owner and the bind one step.
  std::optional<FileLock> lock;
  try {
    lock.emplace(RunFolder() / ".publish.lock", true);
  } catch (const SettingsError& e) {
    // A settings folder that cannot hold the run folder: this program works on, unreachable.
    ReportSettingsProblem(std::string(e.what()) + "; other programs cannot reach this one");
    ::close(fd);
    return false;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (errno != EADDRINUSE) {
      ::close(fd);
      return false;
    }
    int probe = Connect(name);
    if (probe >= 0) {  // a live owner
      ::close(probe);
      ::close(fd);
      return false;
    }
    ::unlink(addr.sun_path);  // left behind by a process that ended
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return false;
    }
  }
  if (::listen(fd, 16) != 0) {
    ::close(fd);
    ::unlink(addr.sun_path);
    return false;
  }
  Endpoints()[name] = Endpoint{fd, std::move(handler)};
  return true;
}

void Unpublish(const std::string& name) {
  auto it = Endpoints().find(name);
  if (it == Endpoints().end()) return;
  sockaddr_un addr;
  if (SocketAddress(name, addr)) ::unlink(addr.sun_path);
  ::close(it->second.fd);
  Endpoints().erase(it);
}

bool Request(const std::string& name, const std::string& request, std::string& reply, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto local = Endpoints().find(name);
  if (local != Endpoints().end()) {
    EndpointHandler h = local->second.handler;
    reply = h(request);
    return true;
  }
  int fd = Connect(name);
  if (fd < 0) return false;
  bool ok = WriteFrame(fd, request, deadline) && ReadFrame(fd, reply, deadline, true);
  ::close(fd);
  return ok;
}

bool IsPublished(const std::string& name) {
  if (Endpoints().count(name)) return true;
  int fd = Connect(name);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace detail

// ---------------------------------------------------------------- window API

WindowHandle CreateWindow(const std::string& className, const std::string& title, std::uint32_t style,
                          WindowProc proc) {
  WindowTable& t = Windows();
  WindowHandle h = t.next;
  t.next += 0x10;
  LocalWindow w{className, title, style, std::move(proc), {}};
  std::string endpoint = kWindowPrefix + title;
  if (!title.empty() &&
      detail::Publish(endpoint, [h](const std::string& req) { return WindowEndpointHandler(h, req); }))
    w.endpoint = endpoint;
  t.local[h] = std::move(w);
  return h;
}

bool DestroyWindow(WindowHandle window) {
  auto& local = Windows().local;
  auto it = local.find(window);
  if (it == local.end()) return false;
  if (!it->second.endpoint.empty()) detail::Unpublish(it->second.endpoint);
  local.erase(it);
  return true;
}

bool IsLocalWindow(WindowHandle window) { return Windows().local.count(window) != 0; }

bool IsWindow(WindowHandle window) {
  if (IsLocalWindow(window)) return true;
  auto it = Windows().remote.find(window);
  return it != Windows().remote.end() && detail::IsPublished(it->second);
}

std::string GetWindowText(WindowHandle window) {
  auto& local = Windows().local;
  if (auto it = local.find(window); it != local.end()) return it->second.title;
  auto it = Windows().remote.find(window);
  return it == Windows().remote.end() ? std::string() : it->second.substr(kWindowPrefix.size());
}

std::string GetClassName(WindowHandle window) {
  auto& local = Windows().local;
  if (auto it = local.find(window); it != local.end()) return it->second.className;
  std::string reply;
  return RemoteQuery(window, "C", reply, 2000) ? reply : std::string();
}

bool SetWindowText(WindowHandle window, const std::string& title) {
  auto& local = Windows().local;
  auto it = local.find(window);
  if (it == local.end()) return false;
  if (!it->second.endpoint.empty()) detail::Unpublish(it->second.endpoint);
  it->second.endpoint.clear();
  it->second.title = title;
  std::string endpoint = kWindowPrefix + title;
  if (!title.empty() &&
      detail::Publish(endpoint, [window](const std::string& req) { return WindowEndpointHandler(window, req); }))
    it->second.endpoint = endpoint;
  return true;
}

WindowProc SetWindowProc(WindowHandle window, WindowProc proc) {
  auto& local = Windows().local;
  auto it = local.find(window);
  if (it == local.end()) return {};
  std::swap(it->second.proc, proc);
  return proc;
}

WindowHandle FindWindow(const std::string& className, const std::string& title) {
  for (auto& [h, w] : Windows().local)
    if (EqualNoCase(w.title, title) && (className.empty() || EqualNoCase(w.className, className))) return h;
  for (const std::string& endpoint : PublishedWindowEndpoints()) {
    if (!EqualNoCase(endpoint.substr(kWindowPrefix.size()), title)) continue;
    if (!detail::IsPublished(endpoint)) continue;
    WindowHandle h = RemoteHandle(endpoint);
    if (!className.empty() && !EqualNoCase(GetClassName(h), className)) continue;
    return h;
  }
  return 0;
}

std::vector<WindowHandle> EnumWindows() {
  std::vector<WindowHandle> out;
  for (auto& [h, w] : Windows().local) out.push_back(h);
  for (const std::string& endpoint : PublishedWindowEndpoints()) {
    bool ours = false;
    for (auto& [h, w] : Windows().local) ours = ours || w.endpoint == endpoint;
    if (!ours && detail::IsPublished(endpoint)) out.push_back(RemoteHandle(endpoint));
  }
  return out;
}

std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                          int timeoutMs) {
  auto& local = Windows().local;
  if (auto it = local.find(window); it != local.end()) {
    WindowProc proc = it->second.proc;
    return proc ? proc(window, msg, wParam, lParam) : 0;
  }
  std::string reply;
  if (!RemoteQuery(window, PackMessage(msg, wParam, lParam), reply, timeoutMs) || reply.size() != 8) return 0;
  std::int64_t result;
  std::memcpy(&result, reply.data(), 8);
  return static_cast<std::intptr_t>(result);
}

int PumpMessages(int timeoutMs) {
  int served = 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    std::vector<pollfd> fds;
    for (auto& [name, ep] : Endpoints()) fds.push_back(pollfd{ep.fd, POLLIN, 0});
    if (fds.empty()) return served;
    int n = ::poll(fds.data(), fds.size(), served ? 0 : Remaining(deadline));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return served;
    for (const pollfd& p : fds)
      if (p.revents & POLLIN) served += ServeOne(p.fd);
  }
}

bool WaitReadable(int fd, int timeoutMs) {
  auto deadline = timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back(pollfd{fd, POLLIN, 0});
    for (auto& [name, ep] : Endpoints()) fds.push_back(pollfd{ep.fd, POLLIN, 0});
    int timeout = deadline == Clock::time_point::max() ? -1 : Remaining(deadline);
    int n = ::poll(fds.data(), fds.size(), timeout);
    if (n <= 0) return false;  // timed out, or interrupted by a signal
    for (std::size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN) ServeOne(fds[i].fd);
    if (fds[0].revents) return true;
  }
}

}  // namespace platform
