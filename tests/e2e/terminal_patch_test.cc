// The patch in a real terminal: morbhost runs on a small demo database in a
// tmux pane, a range is typed key by key, the count is read off the pane and
// compared with the records an independent reader (python3-dbfread) finds in
// the range; Esc leaves, the program exits 0 and the shell is back on the
// normal screen.  Skipped when tmux or python3-dbfread is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
  std::string out;
  std::FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : fallback;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

constexpr const char* kPython = "/usr/bin/python3";
// The shell's prompt (capture-pane drops the space that follows it).
constexpr const char* kPrompt = "E2E-READY$";

class TerminalPatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    if (std::system((std::string(kPython) + " -c 'import dbfread' 2>/dev/null").c_str()) != 0) {
      GTEST_SKIP() << "python3-dbfread is not installed for " << kPython;
    }
    bin_ = EnvOr("MORB_BIN_DIR", "build/bin");
    reader_ = EnvOr("MORB_SOURCE_DIR", ".") + "/tests/e2e/read_tables.py";
    dir_ = (fs::path(::testing::TempDir()) /
            ("morb_e2e_" + std::to_string(getpid()))).string();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    socket_ = "morb_e2e_" + std::to_string(getpid());
  }

  void TearDown() override {
    if (!socket_.empty()) {
      // The server leaves its socket file behind when it is killed.
      const std::string socket_path = Trim(Tmux("display -p '#{socket_path}'"));
      Tmux("kill-server");
      if (socket_path.rfind('/', 0) == 0) fs::remove(socket_path);
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::string Tmux(const std::string& args) {
    return Shell("tmux -L " + socket_ + " " + args + " 2>&1");
  }
  std::string Pane() { return Tmux("capture-pane -p -t e2e"); }
  void Send(const std::string& keys) { Tmux("send-keys -t e2e " + keys); }

  // Polls the pane until `text` shows (or, with `present` false, is gone);
  // gives up after ten seconds.
  bool WaitForText(const std::string& text, bool present = true) {
    for (int i = 0; i < 200; ++i) {
      if ((Pane().find(text) != std::string::npos) == present) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // The independent reader's first output line (the count), and the rest
  // (problems found) in `problems`.
  std::string ReadTables(const std::string& args, std::string* problems = nullptr) {
    std::string out = Shell(std::string(kPython) + " " + reader_ + " " + dir_ + "/data " + args);
    const size_t eol = out.find('\n');
    if (problems != nullptr) *problems = eol == std::string::npos ? "" : Trim(out.substr(eol + 1));
    return out.substr(0, eol);
  }

  std::string bin_, reader_, dir_, socket_;
};

TEST_F(TerminalPatchTest, RangeTypedInTheTerminalRecalculatesAndExitsCleanly) {
  ASSERT_EQ(std::system((bin_ + "/dbftool create-demo " + dir_ +
                         "/data --records 600 --seed 3 >/dev/null 2>&1").c_str()),
            0);
  const std::string expected = ReadTables("2010-03-01 2014-06-30");
  ASSERT_FALSE(expected.empty());
  ASSERT_NE(expected, "0") << "the range must hold records for the test to mean anything";

  // A plain shell in an 80x25 pane; the program is started from it as a user
  // would, and the shell reports its exit status.
  const std::string script = dir_ + "/run.sh";
  std::ofstream(script) << "'" << bin_ << "/morbhost' --data '" << dir_ << "/data'\n"
                        << "echo \"morbhost exited $?\"\n";
  Tmux(std::string("-f /dev/null new-session -d -s e2e -x 80 -y 25 \"env PS1='") + kPrompt +
       " ' /bin/sh\"");
  ASSERT_TRUE(WaitForText(kPrompt)) << Pane();
  Send("-l 'sh " + script + "'");
  Send("Enter");

  ASSERT_TRUE(WaitForText("MAKE A BACKUP COPY")) << Pane();
  EXPECT_EQ(Trim(Tmux("display -p -t e2e '#{alternate_on}'")), "1");
  Send("Space");  // any key goes on
  ASSERT_TRUE(WaitForText("Beginning Report Date:")) << Pane();
  // The two dates, one key at a time; each field moves on when it is full.
  for (char c : std::string("0301201006302014")) Send(std::string(1, c));

  ASSERT_TRUE(WaitForText("Number re-calculated:")) << Pane();
  std::smatch m;
  const std::string pane = Pane();
  ASSERT_TRUE(std::regex_search(pane, m, std::regex("Number re-calculated: (\\d+)"))) << pane;
  EXPECT_EQ(m[1].str(), expected) << pane;

  Send("Enter");  // leaves the count box; the form asks again
  ASSERT_TRUE(WaitForText("Number re-calculated:", false)) << Pane();
  ASSERT_TRUE(WaitForText("Beginning Report Date:")) << Pane();
  Send("Escape");

  ASSERT_TRUE(WaitForText("morbhost exited")) << Pane();
  const std::string after = Pane();
  EXPECT_NE(after.find("morbhost exited 0"), std::string::npos) << after;
  // The terminal is given back: the normal screen with the shell on it, and
  // none of the patch's screen left over.
  EXPECT_EQ(Trim(Tmux("display -p -t e2e '#{alternate_on}'")), "0");
  EXPECT_EQ(after.find("UPDATE MMWR WEEK AND YEAR VALUES"), std::string::npos) << after;
  EXPECT_EQ(after.find("Report Date:"), std::string::npos) << after;
  EXPECT_NE(after.rfind(kPrompt), after.find(kPrompt)) << "no prompt after the run:\n" << after;

  // Read back independently: exactly the records in range were stamped today,
  // each with the right week and year.
  char today[16];
  const std::time_t now = std::time(nullptr);
  std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
  std::string problems;
  EXPECT_EQ(ReadTables(std::string("2010-03-01 2014-06-30 ") + today, &problems), expected);
  EXPECT_EQ(problems, "");
}

}  // namespace
