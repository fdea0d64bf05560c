#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/automation.h"
#include "platform/windows.h"
#include "temp_home.h"

using namespace platform;

namespace {

// Runs `body` in a child process that then answers messages until it receives WM_CLOSE on its
// window (or 20 s pass). Returns the child's pid once `ready` shows up in the run folder.
template <typename Body>
pid_t Child(Body body) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipefd[0]);
    bool quit = false;
    body(quit);
    char c = 'r';
    if (::write(pipefd[1], &c, 1) != 1) ::_exit(3);
    for (int i = 0; i < 200 && !quit; ++i) PumpMessages(100);
    ::_exit(0);
  }
  ::close(pipefd[1]);
  char c;
  if (::read(pipefd[0], &c, 1) != 1) pid = -1;
  ::close(pipefd[0]);
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Windows, LocalWindowsAreFoundByTitleAndCalledDirectly) {
  TempHome home;
  int calls = 0;
  WindowHandle w = CreateWindow("", "QuelstatChannel", WS_OVERLAPPEDWINDOW,
                                [&](WindowHandle, std::uint32_t msg, std::uintptr_t wp, std::intptr_t) {
                                  ++calls;
                                  return msg == WM_USER ? static_cast<std::intptr_t>(wp) + 1 : 0;
                                });
  ASSERT_NE(w, 0u);
  EXPECT_EQ(FindWindow("", "quelstatchannel"), w);
  EXPECT_EQ(FindWindow("XLMAIN", "QuelstatChannel"), 0u);
  EXPECT_EQ(SendMessage(w, WM_USER, 0xFFFF, 0), 0x10000);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_EQ(FindWindow("", "QuelstatChannel"), 0u);
  EXPECT_EQ(SendMessage(w, WM_USER, 1, 0), 0);
}

TEST(Windows, MessagesReachAWindowOfAnotherProcess) {
  TempHome home;
  pid_t pid = Child([](bool& quit) {
    CreateWindow("Chan", "QuelstatChannel", 0,
                 [&quit](WindowHandle, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
                   if (msg == WM_CLOSE) quit = true;
                   return msg == WM_TCARD ? static_cast<std::intptr_t>(wp) * 2 + lp : -1;
                 });
  });
  ASSERT_GT(pid, 0);
  WindowHandle w = FindWindow("chan", "QuelstatChannel");
  ASSERT_NE(w, 0u);
  EXPECT_FALSE(IsLocalWindow(w));
  EXPECT_EQ(GetWindowText(w), "QuelstatChannel");
  EXPECT_EQ(SendMessage(w, WM_TCARD, 30020, 5), 60045);
  EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), -1);

  // The title is taken while the child lives: a window made here stays local.
  WindowHandle mine = CreateWindow("", "QuelstatChannel", 0, nullptr);
  EXPECT_TRUE(IsLocalWindow(mine));
  DestroyWindow(mine);

  SendMessage(w, WM_CLOSE, 0, 0);
  EXPECT_EQ(Reap(pid), 0);
  // Its socket is left behind but nobody answers: the window is gone.
  EXPECT_EQ(FindWindow("", "QuelstatChannel"), 0u);
  EXPECT_EQ(SendMessage(w, WM_TCARD, 1, 0, 500), 0);
  // And the title can be published again.
  pid_t again = Child([](bool& quit) {
    CreateWindow("", "QuelstatChannel", 0,
                 [&quit](WindowHandle, std::uint32_t msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
                   if (msg == WM_CLOSE) quit = true;
                   return 7;
                 });
  });
  WindowHandle w2 = FindWindow("", "QuelstatChannel");
  EXPECT_EQ(SendMessage(w2, WM_USER, 0, 0), 7);
  SendMessage(w2, WM_CLOSE, 0, 0);
  EXPECT_EQ(Reap(again), 0);
}

namespace {
struct Counter : Dispatch {
  int value = 0;
  bool* quit = nullptr;
  std::shared_ptr<Counter> child;
  Variant Invoke(std::int32_t dispid, std::uint16_t flags, const std::vector<Variant>& args) override {
    if (dispid == 350 && args.size() == 1 && args[0].kind == Variant::Kind::Text)
      return Variant::Of(static_cast<std::int32_t>(args[0].text.size()) + value);
    if (dispid == 1 && (flags & kPropertyPut)) {
      value = args.at(0).i;
      return {};
    }
    if (dispid == 1) return Variant::Of(value);
    if (dispid == 2) {
      if (!child) child = std::make_shared<Counter>();
      return Variant::Of(std::static_pointer_cast<Dispatch>(child));
    }
    if (dispid == 99) {
      if (quit) *quit = true;
      return {};
    }
    throw DispatchError("unknown member");
  }
};
const char* kClsid = "{00024500-0000-0000-C000-000000000046}";
}  // namespace

TEST(Automation, FirstRunningInstanceStaysRegisteredAndAnswersAcrossProcesses) {
  TempHome home;
  pid_t pid = Child([](bool& quit) {
    auto app = std::make_shared<Counter>();
    app->value = 100;
    app->quit = &quit;
    RegisterActiveObject(kClsid, app);
  });
  ASSERT_GT(pid, 0);
  // A second instance cannot take the registration while the first lives.
  EXPECT_FALSE(RegisterActiveObject(kClsid, std::make_shared<Counter>()));
  std::shared_ptr<Dispatch> app = GetActiveObject(ClsidFromProgId("Excel.Application.8"));
  EXPECT_FALSE(IsLocalObject(app));
  EXPECT_EQ(app->Invoke(350, kMethod, {Variant::Of("ABC()")}).i, 105);
  EXPECT_THROW(app->Invoke(77, kMethod, {}), DispatchError);

  // Objects handed out by the other process can be called in turn.
  Variant bars = app->Invoke(2, kPropertyGet, {});
  ASSERT_EQ(bars.kind, Variant::Kind::Object);
  bars.object->Invoke(1, kPropertyPut, {Variant::Of(std::int32_t{9})});
  EXPECT_EQ(bars.object->Invoke(1, kPropertyGet, {}).i, 9);

  app->Invoke(99, kMethod, {});
  EXPECT_EQ(Reap(pid), 0);
  EXPECT_THROW(app->Invoke(1, kPropertyGet, {}), DispatchError);
  EXPECT_THROW(GetActiveObject(kClsid), DispatchError);
  // Now this process may register, and gets its own object back locally.
  auto mine = std::make_shared<Counter>();
  EXPECT_TRUE(RegisterActiveObject(kClsid, mine));
  EXPECT_EQ(GetActiveObject(kClsid), mine);
  RevokeActiveObject(kClsid);
}
