#pragma once
// Running the built program as a user would: a copy in a temp folder, marked as a build folder so
// that kvr.ini lands beside it,
// a temp HOME, a private X server with openbox, and xdotool for the mouse.
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_support.h"
#include "process.h"
#include "xserver.h"

namespace kvr::e2e {

namespace fs = std::filesystem;

// Places in the main window (its layout at 96 dpi): the middle of each control.
constexpr int kAllScreen[] = {66, 54};
constexpr int kRegion[] = {66, 70};
constexpr int kBmp[] = {198, 40};
constexpr int kOpt[] = {154, 75};
constexpr int kShot[] = {175, 111};
constexpr int kExit[] = {231, 9};
using namespace std::chrono_literals;

using test::CommandResult;

// A private session bus (dbus-daemon) for one test, with no services to start on demand: what
// runs on it is what the test starts. Optional helpers on it: the accessibility bus (AT-SPI)
// and a notification server (dunst on the test's X server).
class SessionBus {
public:
    explicit SessionBus(const fs::path& folder);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    const std::string& address() const { return address_; }
    // at-spi-bus-launcher (which starts the registry); true once it answers.
    bool startAccessibility(const std::string& display);
    // dunst on display; true once it owns org.freedesktop.Notifications.
    bool startNotifications(const std::string& display);
    // Whether a name is owned on the bus now.
    bool hasOwner(const std::string& name) const;
    // A command with this bus (and display) in its environment; its standard output.
    CommandResult run(const std::vector<std::string>& argv, const std::string& display = {}) const;

    // Any other program on the bus, stopped with it.
    void startHelper(const std::vector<std::string>& argv, const std::string& display = {});

private:
    std::vector<std::string> environment(const std::string& display) const;
    fs::path folder_;
    std::string address_;
    std::optional<test::Process> daemon_;
    std::vector<std::unique_ptr<test::Process>> helpers_;  // stopped before the bus
};

// The accessibility tree of every application on the bus, one node a line (see atspi_tree.py).
struct AccessibleNode {
    int depth = 0;
    std::string role, name, value, parentName;
    bool focused = false, checked = false;
    double number = 0;  // the value interface's current value, when it has one
    bool hasNumber = false;
};
std::vector<AccessibleNode> accessibleTree(const SessionBus& bus);
const AccessibleNode* findNode(const std::vector<AccessibleNode>& tree, const std::string& role,
                               const std::string& name);
// Not on a temporary tree: the node would not outlive it.
const AccessibleNode* findNode(std::vector<AccessibleNode>&& tree, const std::string& role,
                               const std::string& name) = delete;

class Program {
public:
    Program();  // temp folder with a copy of the program, temp home, X server; not started
    // The given program run where it lies (an installed copy), with a temp home and X server.
    explicit Program(fs::path installed);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const fs::path& folder() const { return folder_; }
    const fs::path& home() const { return home_; }
    fs::path desktop() const { return home_ / "Desktop"; }
    fs::path settingsFile() const { return folder_ / "kvr.ini"; }
    // XDG_CONFIG_HOME of the program (not made in advance).
    fs::path configHome() const { return root_ / "config"; }
    const std::string& display() const { return server_->display(); }

    // Starts the program and waits for its window titled "Kelvoro"; false if none showed. It runs
    // under the C locale and without a session bus unless env says otherwise ("NAME=value").
    bool start(const std::vector<std::string>& env = {});
    // Keys on the focused window, as the keyboard sends them (xdotool key names).
    void keys(const std::vector<std::string>& names) const;
    // The program's main window (valid after start).
    unsigned long window() const { return window_; }

    // A command on the program's display (DISPLAY set), e.g. {"xdotool", ...}.
    CommandResult run(const std::vector<std::string>& argv) const;
    // Clicks the left button at (x, y) of a window (the main window by default).
    void click(int x, int y, std::optional<unsigned long> window = {}) const;
    // A visible window whose title matches the regular expression, within the time.
    std::optional<unsigned long> findWindow(const std::string& titleRegex,
                                            std::chrono::milliseconds timeout = 5s) const;
    // True once no visible window's title matches (a window closed by a click may take a while
    // to go when the machine is busy).
    bool waitForWindowGone(const std::string& titleRegex, std::chrono::milliseconds timeout) const;
    // _NET_WM_NAME of a window, as a taskbar reads it.
    std::string title(unsigned long window) const;
    bool waitForTitle(const std::string& title, std::chrono::milliseconds timeout) const;
    bool waitForFile(const fs::path& path, std::chrono::milliseconds timeout) const;
    // Sends the running program a signal (as the session's end or kill does).
    void signal(int number) const;
    // Waits for the program to end; its exit status, or nothing when it is still running.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // The temp folder of this run (for the test's own files).
    const fs::path& root() const { return root_.path(); }
    // What the program printed (standard output and error).
    std::string log() const { return test::readText(root_.path() / "kvr.log"); }

private:
    test::TempDir root_{"kvr-e2e"};
    fs::path folder_;
    fs::path home_;
    fs::path program_;
    std::unique_ptr<test::XServer> server_;
    std::optional<test::Process> running_;
    unsigned long window_ = 0;
};

}  // namespace kvr::e2e
