// The terminal back end for real: terminal_probe runs in a tmux pane; the
// test reads the pane (text, colours, cursor) and sends keys to it, and
// checks the keyboard and event codes the probe logged.  Skipped when tmux
// is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    const char* bin = std::getenv("MORB_BIN_DIR");
    probe_ = std::string(bin != nullptr ? bin : ".") + "/terminal_probe";
    static int serial = 0;
    socket_ = "morb_console_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    log_ = ::testing::TempDir() + socket_ + ".log";
    std::remove(log_.c_str());
    // A parked session holds the server while the options are set, so they
    // are in force before the probe starts.
    Tmux("-f /dev/null new-session -d -s base -x 100 -y 30 'sleep 600'");
    Tmux("set -g remain-on-exit on");
    Tmux("set -s extended-keys on");
  }

  void TearDown() override {
    if (socket_.empty()) return;
    Tmux("kill-server");
    std::remove(log_.c_str());
    std::remove((log_ + ".status").c_str());
  }

  std::string Tmux(const std::string& args) {
    return Shell("tmux -L " + socket_ + " " + args + " 2>&1");
  }

  void StartProbe(int cols, int rows) {
    // The shell records the exit status: tmux does not always know it.
    std::remove((log_ + ".status").c_str());
    Tmux("new-session -d -s probe -x " + std::to_string(cols) + " -y " +
         std::to_string(rows) + " '" + probe_ + " " + log_ + "; echo $? > " + log_ +
         ".status'");
  }

  std::string Query(const std::string& format) {
    std::string s = Tmux("display -p -t probe '" + format + "'");
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }

  // Polls `done` for up to five seconds.
  template <typename F>
  bool WaitFor(F done) {
    for (int i = 0; i < 100; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }

  // The probe's exit status once it has ended (128 + N for signal N), or
  // "" if it does not end within the wait.
  std::string ExitStatus() {
    std::string status;
    WaitFor([&] {
      status = ReadFile(log_ + ".status");
      return !status.empty();
    });
    while (!status.empty() && status.back() == '\n') status.pop_back();
    return status;
  }

  bool LogHas(const std::string& line) {
    return ReadFile(log_).find(line + "\n") != std::string::npos;
  }

  std::string probe_, socket_, log_;
};

TEST_F(TerminalTest, ShowsColoursAndCursorAndDeliversKeyCodes) {
  StartProbe(100, 30);
  ASSERT_TRUE(WaitFor([&] { return LogHas("ready"); })) << Tmux("capture-pane -p -S - -t probe");

  // The title in bright yellow on blue, code-page text as UTF-8, the cursor
  // where the program put it.
  const std::string pane = Tmux("capture-pane -p -e -t probe");
  const size_t title = pane.find(" PROBE ");
  ASSERT_NE(title, std::string::npos) << pane;
  const std::string before = pane.substr(0, title);
  EXPECT_NE(before.find("93"), std::string::npos) << before;
  EXPECT_NE(before.find("44"), std::string::npos) << before;
  EXPECT_NE(pane.find(" caf\xC3\xA9 "), std::string::npos);
  EXPECT_EQ(Query("#{cursor_x},#{cursor_y}"), "10,5");
  EXPECT_EQ(Query("#{alternate_on}"), "1");

  struct KeyCase {
    const char* send;      // tmux send-keys arguments
    const char* expected;  // the probe's log line
  };
  const KeyCase cases[] = {
      {"BSpace", "event 8 key 8"},
      {"BTab", "event 131081 key 271"},
      {"C-Home", "event 589860 key 29"},
      {"Up", "event 65574 key 5"},
      {"x", "event 120 key 120"},
      {"C-BSpace", "event 524415 key 127"},
      {"C-End", "event 589859 key 23"},
      // A left press at column 5, row 3 (1-based) as the terminal reports it.
      {"-l \"$(printf '\\033[<0;5;3M')\"", "event 1048589 key 23 at 2,4"},
  };
  for (const KeyCase& c : cases) {
    Tmux(std::string("send-keys -t probe ") + c.send);
    EXPECT_TRUE(WaitFor([&] { return LogHas(c.expected); }))
        << c.send << " gave:\n" << ReadFile(log_);
  }

  Tmux("send-keys -t probe q");
  ASSERT_EQ(ExitStatus(), "0") << Tmux("capture-pane -p -S - -t probe") << ReadFile(log_);
  // The terminal is given back: normal screen, no mouse reporting.
  EXPECT_EQ(Query("#{alternate_on},#{mouse_any_flag}"), "0,0");
  EXPECT_NE(Tmux("capture-pane -p -S - -t probe").find("probe done"), std::string::npos);
}

TEST_F(TerminalTest, RestoresTheTerminalOnSigterm) {
  StartProbe(100, 30);
  ASSERT_TRUE(WaitFor([&] { return LogHas("ready"); }));
  EXPECT_EQ(Query("#{alternate_on},#{mouse_any_flag}"), "1,1");
  const std::string log = ReadFile(log_);
  ASSERT_EQ(log.rfind("pid ", 0), 0u) << log;
  Shell("kill -TERM " + log.substr(4, log.find('\n') - 4));
  ASSERT_EQ(ExitStatus(), "143");
  EXPECT_EQ(Query("#{alternate_on},#{mouse_any_flag}"), "0,0");
}

TEST_F(TerminalTest, FollowsAResizeAndWarnsWhileTooSmall) {
  StartProbe(100, 30);
  ASSERT_TRUE(WaitFor([&] { return LogHas("ready"); }));
  Tmux("resize-window -t probe -x 60 -y 20");
  Tmux("send-keys -t probe s");  // keys still arrive while the warning shows
  EXPECT_TRUE(WaitFor([&] { return LogHas("event 115 key 115 size 30x100"); })) << ReadFile(log_);
  EXPECT_TRUE(WaitFor([&] {
    return Tmux("capture-pane -p -t probe").find("Terminal too small (60x20)") != std::string::npos;
  })) << Tmux("capture-pane -p -t probe");
  Tmux("resize-window -t probe -x 90 -y 28");
  EXPECT_TRUE(WaitFor([&] {
    return Tmux("capture-pane -p -t probe").find(" PROBE ") != std::string::npos;
  })) << Tmux("capture-pane -p -t probe");
  Tmux("send-keys -t probe s");
  EXPECT_TRUE(WaitFor([&] { return LogHas("event 115 key 115 size 28x90"); })) << ReadFile(log_);
  EXPECT_EQ(Query("#{cursor_x},#{cursor_y}"), "10,5");
}

TEST_F(TerminalTest, RefusesATerminalSmallerThan80x25) {
  StartProbe(70, 20);
  ASSERT_EQ(ExitStatus(), "2") << Tmux("capture-pane -p -J -S - -t probe") << ReadFile(log_);
  const std::string pane = Tmux("capture-pane -p -J -S - -t probe");
  EXPECT_NE(pane.find("needs at least 80 columns and 25 rows"), std::string::npos) << pane;
  EXPECT_EQ(Query("#{alternate_on}"), "0");
}

}  // namespace
