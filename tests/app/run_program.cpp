#include "run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace apptest {

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Outcome RunQuelstat(const std::filesystem::path& folder, std::vector<std::string> args, const std::string& input,
                    const std::string& interruptWhen) {
  return RunProgram(QUELSTAT_EXE, folder, std::move(args), input, interruptWhen);
}

Outcome RunProgram(const std::string& exe, const std::filesystem::path& folder, std::vector<std::string> args,
                   const std::string& input, const std::string& interruptWhen) {
  std::filesystem::path in = folder / "stdin", out = folder / "stdout", err = folder / "stderr";
  std::ofstream(in) << input;
  std::ofstream(err).close();
  pid_t pid = ::fork();
  if (pid == 0) {
    int i = ::open(in.c_str(), O_RDONLY), o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
        e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(i, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (!interruptWhen.empty()) {
    bool sent = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (!sent && Slurp(err).find(interruptWhen) != std::string::npos) {
        ::kill(pid, SIGINT);
        sent = true;
      }
      if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(sent) << "the run ended before \"" << interruptWhen << "\" appeared";
  } else {
    ::waitpid(pid, &status, 0);
  }
  Outcome r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(out);
  r.err = Slurp(err);
  return r;
}

void ScratchSettings::SetUp() {
  char tmpl[] = "/tmp/qsapp.XXXXXX";
  const char* made = ::mkdtemp(tmpl);
  ASSERT_NE(made, nullptr) << "no scratch folder";
  home = made;
  settings = home / "settings";
  work = home / "work";
  std::filesystem::create_directories(work);
  ::setenv("QUELSTAT_HOME", settings.c_str(), 1);
  ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
  ::unsetenv("QUELSTAT_SLOW_ESC_MS");
}

void ScratchSettings::TearDown() {
  std::error_code ec;  // a test may have taken the write permission off the settings folder
  std::filesystem::permissions(settings, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(home, ec);
  ::unsetenv("QUELSTAT_HOME");
  ::unsetenv("QUELSTAT_SLOW_ESC_MS");
}

std::filesystem::path ScratchSettings::Copy(const std::filesystem::path& from) {
  std::filesystem::copy_file(from, work / from.filename(), std::filesystem::copy_options::overwrite_existing);
  return work / from.filename();
}

}  // namespace apptest
