// quelstat run, tests and variable end to end: the real program with the real add-in on the example
// workbooks, as a user runs them from a shell.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const fs::path kExamples = fs::path(QUELSTAT_SOURCE) / "examples";

class RunCommand : public ::testing::Test {
 protected:
  fs::path home, work;
  void SetUp() override {
    char tmpl[] = "/tmp/qsrun.XXXXXX";
    home = ::mkdtemp(tmpl);
    work = home / "work";
    fs::create_directories(work);
    ::setenv("QUELSTAT_HOME", (home / "settings").c_str(), 1);
    ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
    ::unsetenv("QUELSTAT_SLOW_ESC_MS");
  }
  void TearDown() override {
    fs::remove_all(home);
    ::unsetenv("QUELSTAT_HOME");
    ::unsetenv("QUELSTAT_SLOW_ESC_MS");
  }

  // A copy of an example workbook in the test's folder (the reports land beside it).
  fs::path Example(const std::string& name) {
    fs::copy_file(kExamples / name, work / name, fs::copy_options::overwrite_existing);
    return work / name;
  }

  // Runs quelstat. With `interruptWhen`, sends SIGINT once standard error contains that text.
  Outcome Quelstat(std::vector<std::string> args, const std::string& input = "",
                   const std::string& interruptWhen = "") {
    fs::path in = home / "stdin", out = home / "stdout", err = home / "stderr";
    std::ofstream(in) << input;
    std::ofstream(err).close();
    pid_t pid = ::fork();
    if (pid == 0) {
      int i = ::open(in.c_str(), O_RDONLY), o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
          e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(i, 0);
      ::dup2(o, 1);
      ::dup2(e, 2);
      std::vector<char*> argv{const_cast<char*>(QUELSTAT_EXE)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(QUELSTAT_EXE, argv.data());
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
};

// The number after "KEY": in a JSON text (the first occurrence after `from`), NaN when absent.
[[maybe_unused]] double JsonNumber(const std::string& json, const std::string& key, std::size_t from = 0) {
  std::size_t at = json.find("\"" + key + "\":", from);
  if (at == std::string::npos) return std::nan("");
  at += key.size() + 3;
  while (at < json.size() && (json[at] == ' ' || json[at] == '[')) ++at;
  return std::strtod(json.c_str() + at, nullptr);
}

// Reference values made by R (tests/app/data/examples_reference.R): "name value" lines.
[[maybe_unused]] std::map<std::string, double> Reference() {
  std::map<std::string, double> ref;
  std::ifstream in(fs::path(QUELSTAT_SOURCE) / "tests/app/data/examples_reference.txt");
  std::string name;
  double value;
  while (in >> name >> value) ref[name] = value;
  return ref;
}

[[maybe_unused]] void ExpectClose(double got, double want, double relative, const std::string& what) {
  EXPECT_LE(std::fabs(got - want), relative * std::fabs(want)) << what << ": got " << got << ", R gives " << want;
}

}  // namespace

TEST_F(RunCommand, UsageErrorsExitTwoAndWriteNothing) {
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "no such test"});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("no test \"no such test\""), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--test", "ttesti"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("run needs --cell"), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "no equals sign"});
  EXPECT_EQ(r.status, 2);
  // The reports never replace the input.
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--reports", book.string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("names the input workbook"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), Slurp(kExamples / "cholesterol-diet.xlsx"));
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}

TEST_F(RunCommand, TestsListsTheCatalogueWithWhatThisBuildRuns) {
  Outcome r = Quelstat({"tests"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::map<std::string, std::string> rows;  // id -> its line
  int count = 0;
  while (std::getline(lines, line))
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) rows[line.substr(0, 4)] = line, ++count;
  EXPECT_EQ(count, 42);
  for (const char* id : {"1024", "1025", "1026", "1027", "1028"}) {
    ASSERT_TRUE(rows.count(id)) << id;
    EXPECT_EQ(rows[id].substr(rows[id].size() - 3), "yes") << rows[id];
  }
  EXPECT_NE(rows["1026"].find("Independent samples t-test"), std::string::npos) << rows["1026"];
  EXPECT_NE(rows["1026"].find("ttesti"), std::string::npos);
  EXPECT_EQ(rows["1029"].substr(rows["1029"].size() - 2), "no") << rows["1029"];

  r = Quelstat({"tests", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"id\": 1027, \"name\": \"Paired samples t-test\", \"module\": \"General\", "
                       "\"template\": \"ttestp\", \"built\": true"),
            std::string::npos)
      << r.out;
}
