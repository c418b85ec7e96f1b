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
constexpr int kAllScreen[] = {66, 62};
constexpr int kBmp[] = {198, 40};
constexpr int kOpt[] = {154, 75};
constexpr int kShot[] = {175, 111};
constexpr int kExit[] = {231, 9};
using namespace std::chrono_literals;

using test::CommandResult;

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

    // Starts the program and waits for its window titled "Kelvoro"; false if none showed.
    bool start();
    // The program's main window (valid after start).
    unsigned long window() const { return window_; }

    // A command on the program's display (DISPLAY set), e.g. {"xdotool", ...}.
    CommandResult run(const std::vector<std::string>& argv) const;
    // Clicks the left button at (x, y) of a window (the main window by default).
    void click(int x, int y, std::optional<unsigned long> window = {}) const;
    // A visible window whose title matches the regular expression, within the time.
    std::optional<unsigned long> findWindow(const std::string& titleRegex,
                                            std::chrono::milliseconds timeout = 5s) const;
    // _NET_WM_NAME of a window, as a taskbar reads it.
    std::string title(unsigned long window) const;
    bool waitForTitle(const std::string& title, std::chrono::milliseconds timeout) const;
    bool waitForFile(const fs::path& path, std::chrono::milliseconds timeout) const;
    // Waits for the program to end; its exit status, or nothing when it is still running.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
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
