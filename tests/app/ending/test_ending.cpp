// How the real program ends: a table of states (what is on screen or running)
// by end events (signals, the window manager's close, File > Exit). Each cell
// starts the program as a child on the test display, brings it to its state
// with real input, checks that the state is on screen, sends the event and
// then checks the end: in time, no crash, no sanitizer report, the normal
// shutdown line last in logBug.txt, the exit status, and a next start that
// offers no crash report.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/ending/child.h"
#include "tests/app/ending/xscreen.h"
#include "tests/common/testenv.h"

namespace ending {
namespace {

using Clock = std::chrono::steady_clock;

// The sanitizer build starts, analyses and ends several times slower.
#ifdef TV_ENDING_SLOW
constexpr double kSlow = 3;
#else
constexpr double kSlow = 1;
#endif
// From the event to the process's end.
constexpr double kEndSeconds = 5 * kSlow;
// From the start to the state on screen.
constexpr double kReachSeconds = 20 * kSlow;
// How long an event that cannot reach the program is given to do harm.
constexpr double kSettleSeconds = 1;

enum class State {
  kIdle,            // a small workspace open, the main window shown
  kJob,             // the start-up's analysis of a million-line log running
  kErrorBox,        // the worker's "Cannot open file" box open
  kSpiderQuestion,  // the worker asking to confirm new spiders
  kPeriodQuestion,  // the worker asking for the period of an ODBC source
  kPaneBox,         // the workspace pane asking whether to delete a log
  kDialogBox,       // Host Lookup open, with its own error box over it
  kDownload,        // -download of the million-line log, in the middle of its load
  kUpdate,          // -update with no update server set
};

enum class Event { kSigTerm, kSigHup, kClose, kFileExit, kNone };
enum class Desk { kBare, kOpenbox };

struct Cell {
  State state;
  Event event;
  Desk desk;
};

const char* StateName(State s) {
  switch (s) {
    case State::kIdle: return "Idle";
    case State::kJob: return "Job";
    case State::kErrorBox: return "ErrorBox";
    case State::kSpiderQuestion: return "SpiderQuestion";
    case State::kPeriodQuestion: return "PeriodQuestion";
    case State::kPaneBox: return "PaneBox";
    case State::kDialogBox: return "DialogBox";
    case State::kDownload: return "Download";
    case State::kUpdate: return "Update";
  }
  return "?";
}

const char* EventName(Event e) {
  switch (e) {
    case Event::kSigTerm: return "SigTerm";
    case Event::kSigHup: return "SigHup";
    case Event::kClose: return "Close";
    case Event::kFileExit: return "FileExit";
    case Event::kNone: return "ByItself";
  }
  return "?";
}

// Which events a real user can deliver in a state. While a modal box or
// dialog is open GTK holds its grab: the window manager's close request for
// the main window is dropped (GTK ignores a delete event outside the grab),
// and keys pressed in the main window go to the box, so Alt+F opens no menu.
// In those cells the event is still sent, must leave the state as it was
// (or end the program cleanly), and SIGTERM then ends the program. A running
// job's progress dialog is modeless: the main window still takes both.
bool Deliverable(State state, Event event) {
  if (event != Event::kClose && event != Event::kFileExit) return true;
  switch (state) {
    case State::kErrorBox:
    case State::kSpiderQuestion:
    case State::kPeriodQuestion:
    case State::kPaneBox:
    case State::kDialogBox:
      return false;
    default:
      return true;
  }
}

bool Unattended(State s) { return s == State::kDownload || s == State::kUpdate; }

std::string CellName(const Cell& c) { return std::string(StateName(c.state)) + "_" + EventName(c.event); }

// Read by gtest in its failure lines.
void PrintTo(const Cell& c, std::ostream* os) {
  *os << CellName(c) << (c.desk == Desk::kOpenbox ? " under openbox" : "");
}

// ---------------------------------------------------------------------------
// Files the cells share, made once per run of this binary.

std::string ReadOrEmpty(const std::string& path) { return tvtest::ReadFile(path); }

std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  size_t nl = text.rfind('\n');
  return nl == std::string::npos ? text : text.substr(nl + 1);
}

// The fixture workspace with some of its [Common] values changed and its
// [logfile] section replaced by logSection.
std::string Workspace(const std::string& logSection, const std::vector<std::pair<std::string, std::string>>& values) {
  std::string text = tvtest::ReadFile(std::string(TV_APP_TEST_DATA_DIR) + "/app.tv");
  for (const auto& [name, value] : values) {
    size_t at = text.find("\n" + name + "=");
    if (at == std::string::npos) continue;
    size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, name + "=" + value);
  }
  size_t log = text.find("[logfile]\n");
  size_t next = text.find("\n[", log + 1);
  text.replace(log, next + 1 - log, logSection);
  return text;
}

const std::string& MillionLineLog() {
  static std::string path;
  static std::once_flag once;
  std::call_once(once, [] {
    const std::string file = tvtest::Home() + "million.log";
    const std::string err = tvtest::Home() + "tvgenlog.err";
    // Common log format: a third of the bytes of the combined one.
    Child gen;
    if (gen.Start({TV_GENLOG, "common", "1000000"}, {}, err, file)) {
      std::optional<int> status = gen.Wait(120);
      if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) path = file;
    }
  });
  return path;
}

// A visitor that fetches robots.txt with an agent no table knows: the
// analysis finds a new spider.
const char kSpiderLog[] =
    "192.0.2.10 - - [10/Mar/2024:10:00:00 +0000] \"GET /robots.txt HTTP/1.1\" 200 120 \"-\" "
    "\"QuietCrawler/0.3 (+http://crawler.example/about)\"\n"
    "192.0.2.10 - - [10/Mar/2024:10:00:02 +0000] \"GET /index.html HTTP/1.1\" 200 5120 \"-\" "
    "\"QuietCrawler/0.3 (+http://crawler.example/about)\"\n"
    "198.51.100.7 - - [10/Mar/2024:10:05:00 +0000] \"GET /index.html HTTP/1.1\" 200 5120 \"-\" "
    "\"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 Firefox/123.0\"\n"
    "198.51.100.7 - - [10/Mar/2024:10:05:09 +0000] \"GET /products/item.html HTTP/1.1\" 200 2048 "
    "\"http://www.example.com/index.html\" \"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 "
    "Firefox/123.0\"\n";

// ---------------------------------------------------------------------------

const char* const kSanitizerMarks[] = {"ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer",
                                       "ERROR: UndefinedBehavior"};

bool HasSanitizerReport(const std::string& text) {
  for (const char* mark : kSanitizerMarks)
    if (text.find(mark) != std::string::npos) return true;
  return false;
}

// For a failure message: a sanitizer report from its first line (where the
// fault's own frames are), else the end of the text.
std::string Excerpt(const std::string& text, size_t bytes = 1500) {
  size_t first = std::string::npos;
  for (const char* mark : kSanitizerMarks) first = std::min(first, text.find(mark));
  if (first != std::string::npos) return text.substr(first, 5000);
  return text.size() <= bytes ? text : "..." + text.substr(text.size() - bytes);
}

// One connection for the whole run: with none open between two cells Xvfb
// resets itself, refusing and dropping connections while it does.
XScreen& Screen() {
  static XScreen* screen = [] {
    // A dropped connection is then reported by Xlib instead of ending the
    // test without a word.
    signal(SIGPIPE, SIG_IGN);
    return new XScreen;
  }();
  return *screen;
}

class EndingTest : public ::testing::TestWithParam<Cell> {
 protected:
  void SetUp() override {
    const Cell& c = GetParam();
    if (!OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(m_screen.Open()) << "no display";
    m_dir = tvtest::NewDir(CellName(c) + (c.desk == Desk::kOpenbox ? "_openbox" : ""));
    m_home = m_dir + "home/";
    m_tmp = m_dir + "tmp/";
    m_ws = m_dir + "ws/";
    for (const std::string& d : {m_home, m_tmp, m_ws}) std::filesystem::create_directories(d);
    if (c.desk == Desk::kOpenbox) StartWindowManager();
  }

  void TearDown() override {
    m_program.Kill();
    m_wm.Kill();
  }

  void StartWindowManager() {
    if (!OnPath("openbox")) GTEST_SKIP() << "openbox is not installed";
    ASSERT_TRUE(m_wm.Start({"openbox"}, {}, m_dir + "openbox.err"));
    ASSERT_TRUE(PollUntil(10, [&] { return m_screen.WindowManagerRunning(); })) << "openbox did not come up";
  }

  // The program's environment: this cell's data and temporary folders, no
  // update server, nothing that would send a request off the machine.
  std::map<std::string, std::optional<std::string>> Environment(const std::string& home, const std::string& tmp) {
    return {{"TRAILVANE_HOME", home},     {"TMPDIR", tmp},          {"TEMP", std::nullopt},
            {"TRAILVANE_UPDATE_SERVER", std::nullopt}, {"http_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt}};
  }

  bool PollUntil(double seconds, const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }

  std::vector<ShownWindow> Shown() { return m_screen.Shown(m_program.Pid()); }
  std::string OnScreen() { return Describe(Shown()); }

  std::optional<ShownWindow> Main() {
    for (const ShownWindow& w : Shown())
      if (w.IsMain() && w.title.size() >= 9 && w.title.compare(w.title.size() - 9, 9, "Trailvane") == 0) return w;
    return std::nullopt;
  }
  std::vector<ShownWindow> Dialogs() {
    std::vector<ShownWindow> out;
    for (const ShownWindow& w : Shown())
      if (w.IsDialog()) out.push_back(w);
    return out;
  }
  // A modal dialog or box titled title over owner (0: any owner).
  std::optional<ShownWindow> Modal(const std::string& title, unsigned long owner = 0) {
    for (const ShownWindow& w : Dialogs())
      if (w.modal && w.title == title && (owner == 0 || w.transientFor == owner)) return w;
    return std::nullopt;
  }
  // The progress dialog of a running job: modeless, "Trailvane", over the main window.
  std::optional<ShownWindow> Progress() {
    std::optional<ShownWindow> main = Main();
    if (!main) return std::nullopt;
    for (const ShownWindow& w : Dialogs())
      if (!w.modal && w.title == "Trailvane" && w.transientFor == main->id) return w;
    return std::nullopt;
  }

  // The cell's state is on screen now (the main window for the states
  // without a box).
  bool InState() {
    std::optional<ShownWindow> main = Main();
    if (!main) return false;
    switch (GetParam().state) {
      case State::kIdle: return Dialogs().empty();
      case State::kJob:
      case State::kDownload: return Progress().has_value();
      case State::kErrorBox: {
        // The engine's error box, over the progress dialog.
        std::optional<ShownWindow> progress = Progress();
        return progress && Modal("Trailvane", progress->id);
      }
      case State::kSpiderQuestion: return Modal("Confirmation new spiders").has_value();
      case State::kPeriodQuestion: return Modal("Period").has_value();
      case State::kPaneBox: return Modal("Trailvane", main->id) && Dialogs().size() == 1;
      case State::kDialogBox: {
        std::optional<ShownWindow> lookup = Modal("Host Lookup", main->id);
        return lookup && Modal("Host Lookup", lookup->id);
      }
      case State::kUpdate: return true;
    }
    return false;
  }

  void SaveScreenshot(const std::string& name) {
    if (!OnPath("import")) return;
    const std::string dir = TV_UI_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    RunTool({"import", "-window", "root", dir + "/" + name + ".png"}, 20);
  }

  // xdotool gives its input through XTest, as a keyboard and a mouse do.
  bool Tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv) == 0;
  }
  // The keyboard to window: activated through the window manager when there
  // is one, else the input focus set as it would.
  bool Focus(unsigned long window) {
    const std::string id = std::to_string(window);
    if (GetParam().desk == Desk::kOpenbox) return Tool({"windowactivate", "--sync", id});
    return Tool({"windowfocus", "--sync", id});
  }

  // --- the states -------------------------------------------------------

  void WriteProfile(bool analyseAtStart) {
    // Where the window goes without a window manager, so clicks find the panes.
    std::string profile = "MaxWin=0\nWinTop=0\nWinBotton=700\nWinLeft=0\nWinRight=1000\n";
    if (analyseAtStart) profile += "WinAMenu=1\n";
    tvtest::WriteFile(m_home + "profile.ini", profile);
  }

  std::string SmallWorkspace(const std::string& dir) {
    tvtest::WriteFile(dir + "sample-w3c.log", tvtest::ReadFile(std::string(TV_SOURCE_DIR) + "/data/sample/sample-w3c.log"));
    tvtest::WriteFile(dir + "app.tv", tvtest::ReadFile(std::string(TV_APP_TEST_DATA_DIR) + "/app.tv"));
    return dir + "app.tv";
  }

  std::string MillionWorkspace() {
    const std::string& log = MillionLineLog();
    if (log.empty()) return {};
    std::filesystem::create_symlink(log, m_ws + "million.log");
    tvtest::WriteFile(m_ws + "app.tv", Workspace("[logfile]\nfile=\"million.log\"\nprop=00000\n", {}));
    return m_ws + "app.tv";
  }

  // Starts the program and brings it to the cell's state; a failure here is
  // the harness's (or a start that does not work), not the ending's.
  void Reach() {
    const State state = GetParam().state;
    std::vector<std::string> args{TV_PROGRAM};
    switch (state) {
      case State::kIdle:
      case State::kPaneBox:
      case State::kDialogBox:
        WriteProfile(false);
        m_workspace = SmallWorkspace(m_ws);
        args.push_back(m_workspace);
        break;
      case State::kJob:
        WriteProfile(true);
        m_workspace = MillionWorkspace();
        ASSERT_FALSE(m_workspace.empty()) << "tvgenlog did not write the million-line log";
        args.push_back(m_workspace);
        break;
      case State::kErrorBox:
        WriteProfile(true);
        m_workspace = m_ws + "app.tv";
        tvtest::WriteFile(m_workspace, Workspace("[logfile]\nfile=\"missing.log\"\nprop=00000\n", {}));
        args.push_back(m_workspace);
        break;
      case State::kSpiderQuestion:
        WriteProfile(true);
        m_workspace = m_ws + "app.tv";
        tvtest::WriteFile(m_ws + "spider.log", kSpiderLog);
        tvtest::WriteFile(m_workspace, Workspace("[logfile]\nfile=\"spider.log\"\nprop=00000\n",
                                                 {{"auto_robot", "1"}, {"confirmation_robot", "1"}}));
        args.push_back(m_workspace);
        break;
      case State::kPeriodQuestion:
        // The period is asked before any connection: the source need not exist.
        WriteProfile(true);
        m_workspace = m_ws + "app.tv";
        tvtest::WriteFile(m_workspace,
                          Workspace("[logfile]\ntype=1\ndb_dns=\"TrailvaneNoSuchSource\"\ndb_table=\"hits\"\nprop=00000\n", {}));
        args.push_back(m_workspace);
        break;
      case State::kDownload:
        WriteProfile(false);
        m_workspace = MillionWorkspace();
        ASSERT_FALSE(m_workspace.empty()) << "tvgenlog did not write the million-line log";
        args.push_back("-download");
        args.push_back(m_workspace);
        break;
      case State::kUpdate:
        WriteProfile(false);
        args.push_back("-update");
        break;
    }
    m_before = m_workspace.empty() ? std::string() : tvtest::ReadFile(m_workspace);
    m_errPath = m_dir + "stderr.txt";
    ASSERT_TRUE(m_program.Start(args, Environment(m_home, m_tmp), m_errPath));
    if (state == State::kUpdate) return;  // it has no state to wait for: it must end by itself

    auto reached = [&](const std::function<bool()>& there, const char* what) {
      if (PollUntil(kReachSeconds, [&] { return there() || !m_program.Running(); }) && m_program.Running()) return;
      ADD_FAILURE() << "state not reached: " << what << "; on screen: " << OnScreen()
                    << (m_program.Running() ? "" : "; the program ended: " + DescribeStatus(*m_program.Status()))
                    << "\nstderr: " << Excerpt(ReadOrEmpty(m_errPath));
      m_unreached = true;
    };
    reached([&] { return Main().has_value(); }, "the main window");
    if (m_unreached) return;
    if (state == State::kPaneBox) ReachPaneBox(reached);
    else if (state == State::kDialogBox) ReachDialogBox(reached);
    if (m_unreached || HasFatalFailure()) return;
    reached([&] { return InState(); }, StateName(state));
  }

  // The main window once it stands still: a window manager places it, and
  // the program may then move it back to its stored place.
  std::optional<ShownWindow> SettledMain() {
    std::optional<ShownWindow> last;
    int same = 0;
    PollUntil(kReachSeconds, [&] {
      std::optional<ShownWindow> now = Main();
      const bool still = now && last && now->x == last->x && now->y == last->y && now->width == last->width &&
                         now->height == last->height;
      same = still ? same + 1 : 0;
      last = now;
      return same >= 8;
    });
    return last;
  }

  // Input a program still busy starting may lose: given again until done,
  // at most tries times.
  bool Attempt(int tries, const std::function<bool()>& give, const std::function<bool()>& done) {
    for (int i = 0; i < tries; ++i) {
      if (done()) return true;
      if (!give()) return false;
      if (PollUntil(3 * kSlow, done)) return true;
    }
    return done();
  }

  template <typename Reached>
  void ReachPaneBox(Reached& reached) {
    reached([&] { return Dialogs().empty(); }, "nothing but the main window");
    if (m_unreached) return;
    Attempt(
        3,
        [&] {
          std::optional<ShownWindow> main = SettledMain();
          if (!main) return false;
          // The workspace pane fills the right of the window before any report;
          // the first row of its log list sits under the menu bar and the toolbar.
          const int x = main->x + main->width * 30 / 100, y = main->y + 78;
          // No --sync: it waits for a move, and the pointer may be there already
          // from the cell before. The server keeps the motion before the click.
          return Tool({"mousemove", std::to_string(x), std::to_string(y)}) && Tool({"click", "1"}) &&
                 Focus(main->id) && Tool({"key", "Delete"});
        },
        [&] { return InState(); });
  }

  template <typename Reached>
  void ReachDialogBox(Reached& reached) {
    reached([&] { return Dialogs().empty(); }, "nothing but the main window");
    if (m_unreached) return;
    std::optional<ShownWindow> main = SettledMain();
    ASSERT_TRUE(main);
    std::optional<ShownWindow> lookup;
    Attempt(
        3, [&] { return Focus(main->id) && Tool({"key", "ctrl+l"}); },
        [&] { return (lookup = Modal("Host Lookup", main->id)).has_value(); });
    reached([&] { return (lookup = Modal("Host Lookup", main->id)).has_value(); }, "the Host Lookup dialog");
    if (m_unreached) return;
    // Not a host name: refused without a look-up, so nothing asks the network.
    ASSERT_TRUE(Focus(lookup->id));
    ASSERT_TRUE(Tool({"type", "--delay", "20", "bad name!"}));
    Attempt(
        3, [&] { return Focus(lookup->id) && Tool({"key", "Return"}); },
        [&] { return Modal("Host Lookup", lookup->id).has_value(); });
  }

  // --- the events -------------------------------------------------------

  void Send(Event event) {
    switch (event) {
      case Event::kSigTerm: ASSERT_TRUE(m_program.Signal(SIGTERM)); break;
      case Event::kSigHup: ASSERT_TRUE(m_program.Signal(SIGHUP)); break;
      case Event::kClose: {
        std::optional<ShownWindow> main = Main();
        ASSERT_TRUE(main) << "no main window to close; on screen: " << OnScreen();
        ASSERT_TRUE(m_screen.SendClose(main->id));
        break;
      }
      case Event::kFileExit: {
        std::optional<ShownWindow> main = Main();
        ASSERT_TRUE(main) << "no main window for the menu; on screen: " << OnScreen();
        auto menuOpen = [&] {
          for (const ShownWindow& w : Shown())
            if (w.overrideRedirect && w.type.find("MENU") != std::string::npos) return true;
          return false;
        };
        if (Deliverable(GetParam().state, event)) {
          // A program busy with its job may take the key late; a second
          // Alt+F only after the first opened nothing.
          const bool opened = Attempt(
              3, [&] { return Focus(main->id) && Tool({"key", "alt+f"}); }, menuOpen);
          EXPECT_TRUE(opened) << "Alt+F opened no menu; on screen: " << OnScreen();
        } else {
          ASSERT_TRUE(Focus(main->id));
          ASSERT_TRUE(Tool({"key", "alt+f"}));
          PollUntil(0.5, menuOpen);
        }
        ASSERT_TRUE(Tool({"key", "x"}));
        break;
      }
      case Event::kNone: break;
    }
  }

  // --- the end ------------------------------------------------------------

  // A modal window of the program, described; "" when there is none.
  std::string OpenBox() {
    std::vector<ShownWindow> boxes;
    for (const ShownWindow& w : Dialogs())
      if (w.modal) boxes.push_back(w);
    return boxes.empty() ? std::string() : Describe(boxes);
  }

  // Waits for the end; on a hang says what is on screen and kills the
  // program. An unattended run must not open a box on its way.
  std::optional<int> AwaitEnd(double seconds, const std::string& after) {
    const bool watch = Unattended(GetParam().state);
    PollUntil(seconds, [&] {
      if (watch && m_box.empty()) m_box = OpenBox();
      return !m_program.Running();
    });
    if (!m_box.empty()) ADD_FAILURE() << "the unattended run opened a box: " << m_box;
    std::optional<int> status = m_program.Wait(0);
    if (status) return status;
    const std::string screen = OnScreen();
    SaveScreenshot("ending_hang_" + CellName(GetParam()) + (GetParam().desk == Desk::kOpenbox ? "_openbox" : ""));
    m_program.Kill();
    ADD_FAILURE() << "hang: the program did not end within " << seconds << " s " << after << "; on screen: " << screen
                  << "\nstderr: " << Excerpt(ReadOrEmpty(m_errPath));
    return std::nullopt;
  }

  void CheckEnd(std::optional<int> status) {
    const Cell& c = GetParam();
    const std::string err = ReadOrEmpty(m_errPath);
    EXPECT_FALSE(HasSanitizerReport(err)) << "sanitizer report:\n" << Excerpt(err);
    if (status) {
      EXPECT_TRUE(WIFEXITED(*status)) << "crash: " << DescribeStatus(*status)
                                     << (HasSanitizerReport(err) ? "" : "\nstderr: " + Excerpt(err));
      if (WIFEXITED(*status) && Unattended(c.state)) {
        EXPECT_NE(DescribeStatus(*status), "exit 0") << "an unattended run that did not complete said it did";
      } else if (WIFEXITED(*status)) {
        EXPECT_EQ(DescribeStatus(*status), "exit 0") << "stderr: " << Excerpt(err);
      }
    }
    if (Unattended(c.state)) {
      // The program's own lines on stderr begin with its name.
      const bool named = err.find("trailvane: ") != std::string::npos;
      EXPECT_TRUE(named) << "the failure is not named on stderr: " << Excerpt(err);
    }
    const std::string log = ReadOrEmpty(m_home + "logBug.txt");
    EXPECT_EQ(LastLine(log), "#SYS normal shutdown.#") << "logBug.txt:\n" << Excerpt(log);
    // Nobody said yes to anything: the workspace file is as it was.
    if (!Unattended(c.state) && !m_workspace.empty()) {
      EXPECT_EQ(tvtest::ReadFile(m_workspace), m_before);
    }
    CheckNextStart();
  }

  // The next start in the same data folder: an unattended run of a small
  // workspace, which asks nothing and would prepare the crash-report mail
  // (temp.eml in its temporary folder, removed again at its end) were the
  // last run's log not ended by the normal shutdown line.
  void CheckNextStart() {
    const std::string tmp = m_dir + "next-tmp/";
    const std::string priv = tmp + "trailvane-" + std::to_string(geteuid());
    std::filesystem::create_directories(tmp);
    ASSERT_EQ(mkdir(priv.c_str(), 0700), 0) << strerror(errno);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, priv.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    const std::string dir = m_dir + "next-ws/";
    std::filesystem::create_directories(dir);
    const std::string workspace = SmallWorkspace(dir);
    const std::string err = m_dir + "next-stderr.txt";
    Child next;
    ASSERT_TRUE(next.Start({TV_PROGRAM, "-download", workspace}, Environment(m_home, tmp), err));
    std::optional<int> status = next.Wait(kReachSeconds);
    if (!status) ADD_FAILURE() << "the next start did not end; on screen: " << Describe(m_screen.Shown(next.Pid()));
    next.Kill();
    std::vector<std::string> made;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        auto* e = reinterpret_cast<inotify_event*>(p);
        if (e->len) made.emplace_back(e->name);
        p += sizeof(inotify_event) + e->len;
      }
    }
    close(watch);
    EXPECT_EQ(std::count(made.begin(), made.end(), "temp.eml"), 0) << "the next start prepared a crash report";
    if (status) {
      EXPECT_EQ(DescribeStatus(*status), "exit 0") << Excerpt(ReadOrEmpty(err));
    }
    EXPECT_FALSE(HasSanitizerReport(ReadOrEmpty(err))) << Excerpt(ReadOrEmpty(err));
  }

  XScreen& m_screen = Screen();
  Child m_program, m_wm;
  std::string m_dir, m_home, m_tmp, m_ws, m_workspace, m_before, m_errPath;
  bool m_unreached = false;
  std::string m_box;  // the first box an unattended run opened
};

TEST_P(EndingTest, EndsThroughTheNormalClose) {
  const Cell& c = GetParam();
  Reach();
  if (HasFatalFailure() || m_unreached) {
    m_program.Kill();
    return;
  }
  if (c.state == State::kUpdate) {
    // Nothing to send: the run must end by itself, and no box may wait. A box
    // that does gets SIGTERM, and the end is checked all the same.
    PollUntil(kReachSeconds, [&] { return !m_program.Running() || !(m_box = OpenBox()).empty(); });
    if (!m_box.empty()) {
      SaveScreenshot("ending_Update_box" + std::string(c.desk == Desk::kOpenbox ? "_openbox" : ""));
      m_program.Signal(SIGTERM);
    }
    CheckEnd(AwaitEnd(kEndSeconds, m_box.empty() ? "by itself" : "after SIGTERM"));
    return;
  }
  // What each state looks like, kept beside the other window tests' pictures.
  if (c.event == Event::kSigTerm || c.desk == Desk::kOpenbox)
    SaveScreenshot("ending_" + std::string(StateName(c.state)) + (c.desk == Desk::kOpenbox ? "_openbox" : ""));
  // Still there as the event goes out (a job may have run on meanwhile).
  ASSERT_TRUE(InState()) << "the state was gone before the event; on screen: " << OnScreen();

  Send(c.event);
  if (HasFatalFailure()) return;
  std::optional<int> status;
  if (Deliverable(c.state, c.event)) {
    status = AwaitEnd(kEndSeconds, std::string("after ") + EventName(c.event));
  } else {
    // Given time to do harm; then the state must still be there, or the
    // program must have ended (checked below like any end).
    status = m_program.Wait(kSettleSeconds);
    if (!status) {
      EXPECT_TRUE(InState()) << EventName(c.event) << " changed the state; on screen: " << OnScreen();
      ASSERT_TRUE(m_program.Signal(SIGTERM));
      status = AwaitEnd(kEndSeconds, std::string("after ") + EventName(c.event) + ", then SIGTERM");
    }
  }
  CheckEnd(status);
}

std::vector<Cell> Row(State state, std::vector<Event> events, Desk desk = Desk::kBare) {
  std::vector<Cell> cells;
  for (Event e : events) cells.push_back({state, e, desk});
  return cells;
}

const std::vector<Event> kAll = {Event::kSigTerm, Event::kSigHup, Event::kClose, Event::kFileExit};

std::string ParamName(const ::testing::TestParamInfo<Cell>& info) { return EventName(info.param.event); }

// One row per state, each run as a CTest entry of its own on its own display.
INSTANTIATE_TEST_SUITE_P(Idle, EndingTest, ::testing::ValuesIn(Row(State::kIdle, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(Job, EndingTest, ::testing::ValuesIn(Row(State::kJob, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(ErrorBox, EndingTest, ::testing::ValuesIn(Row(State::kErrorBox, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(SpiderQuestion, EndingTest, ::testing::ValuesIn(Row(State::kSpiderQuestion, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(PeriodQuestion, EndingTest, ::testing::ValuesIn(Row(State::kPeriodQuestion, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(PaneBox, EndingTest, ::testing::ValuesIn(Row(State::kPaneBox, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(DialogBox, EndingTest, ::testing::ValuesIn(Row(State::kDialogBox, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(Download, EndingTest, ::testing::ValuesIn(Row(State::kDownload, kAll)), ParamName);
INSTANTIATE_TEST_SUITE_P(Update, EndingTest, ::testing::ValuesIn(Row(State::kUpdate, {Event::kNone})), ParamName);

// Each state once more under a window manager, which changes focus and
// stacking and sends the close as its close box does.
std::vector<Cell> UnderOpenbox() {
  std::vector<Cell> cells;
  for (State s : {State::kIdle, State::kJob, State::kErrorBox, State::kSpiderQuestion, State::kPeriodQuestion,
                  State::kPaneBox, State::kDialogBox, State::kDownload})
    cells.push_back({s, Event::kClose, Desk::kOpenbox});
  cells.push_back({State::kUpdate, Event::kNone, Desk::kOpenbox});
  return cells;
}
INSTANTIATE_TEST_SUITE_P(Openbox, EndingTest, ::testing::ValuesIn(UnderOpenbox()),
                         [](const ::testing::TestParamInfo<Cell>& info) { return CellName(info.param); });

}  // namespace
}  // namespace ending
