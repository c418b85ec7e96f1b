#pragma once
// A private, headless Wayland desktop session for one test binary: sway, KWin or GNOME Shell with
// Xwayland, its own D-Bus session bus, runtime folder and home, run as an unprivileged user
// (`kvrtest`, created when the tests run as root; the caller itself otherwise). Every process it
// starts sits in a cgroup of its own (when the machine lets us make one) and carries a marker in
// its environment, so stop() finds and ends all of them, D-Bus-activated helpers included.
#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvr::test {

enum class Compositor { Sway, KWin, Gnome };
const char* compositorName(Compositor compositor);

struct ProcessResult {
    int exitCode = -1;  // the exit status, 128 + N for a signal, -1 when it could not start
    bool timedOut = false;
    std::string out;
    std::string err;
};

class WaylandSession {
public:
    static constexpr int kOutputWidth = 1920;
    static constexpr int kOutputHeight = 1080;

    // Starts the compositor with `outputs` headless outputs of 1920x1080 side by side, and
    // returns once clients can connect. Throws std::runtime_error with the compositor's log
    // when it does not come up.
    static std::unique_ptr<WaylandSession> start(Compositor compositor, int outputs = 1);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // Ends every process of the session (TERM, KILL after 5 s) and removes its folders and X
    // socket. True when nothing was left behind. Called by the destructor.
    bool stop();
    bool running() const { return running_; }

    Compositor compositor() const { return compositor_; }
    int outputs() const { return outputs_; }
    // KEY=VALUE: what a client of the session needs (WAYLAND_DISPLAY, DISPLAY, XDG_RUNTIME_DIR,
    // DBUS_SESSION_BUS_ADDRESS, XDG_CURRENT_DESKTOP, SWAYSOCK, HOME, ...).
    const std::vector<std::string>& environment() const { return env_; }
    std::string variable(std::string_view key) const;
    const std::string& runtimeDir() const { return runtimeDir_; }
    const std::string& home() const { return home_; }
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }

    // Runs argv as the session user in the session's environment (plus `extraEnv`, KEY=VALUE)
    // and collects its output. Killed (with everything it started) after `timeout`.
    ProcessResult run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60),
                      const std::vector<std::string>& extraEnv = {});
    // Starts argv in the background as the session user; its output goes to log(name).
    // It ends with the session at the latest.
    pid_t spawn(const std::string& name, const std::vector<std::string>& argv,
                const std::vector<std::string>& extraEnv = {});
    std::string log(const std::string& name) const;

    // A copy of a program of the build that the session user can run (the build folder may be
    // private to the developer). Returns the copy's path, the same one on every call.
    std::string installProgram(const std::string& path);

    // Puts the project's pattern window on screen through Qt's wayland platform: a fixed-size
    // window of eight colour bars side by side (kPatternColours, left to right, each
    // kPatternBarWidth wide and the window's full height) titled `title`. On sway it floats at
    // kPatternX, kPatternY (the frame's top-left, title bar included); KWin places it there
    // too; GNOME centres it. Returns once the window has painted and (sway, KWin) the compositor
    // lists it.
    // With `x11`, the window is an X11 client of Xwayland instead.
    void showPattern(const std::string& title = "kvr-test-pattern", bool x11 = false);
    static constexpr int kPatternBarWidth = 80;
    static constexpr int kPatternWidth = 8 * kPatternBarWidth;
    static constexpr int kPatternHeight = 360;
    static constexpr int kPatternX = 400;
    static constexpr int kPatternY = 200;
    static constexpr std::array<uint32_t, 8> kPatternColours = {
        0xffffff, 0xffff00, 0x00ffff, 0x00ff00, 0xff00ff, 0xff0000, 0x0000ff, 0x000000};
    // The background colour of every output (sway; on KWin and GNOME the desktop's own).
    static constexpr uint32_t kBackground = 0x3a6ea5;

    // A window's frame as the compositor has it (layout coordinates, title bar included, no
    // shadow), and whether it is the active one: sway's tree (`rect` + `deco_rect`), KWin's
    // `frameGeometry` through a script. GNOME offers no way: nothing there, nor for a title not
    // found. On sway also the window's content (`rect` + `window_rect`, layout coordinates).
    struct Box {
        int x = 0, y = 0, width = 0, height = 0;
    };
    struct WindowFrame {
        int x = 0, y = 0, width = 0, height = 0;
        bool active = false;
        std::optional<Box> content;
    };
    std::optional<WindowFrame> windowFrame(const std::string& title);

    // Every live process of the session (for tests of the fixture itself).
    std::vector<pid_t> processes() const;
    // Files the session made outside its own folders (the Wayland socket lives in
    // runtimeDir(); Xwayland's socket does not).
    std::string xSocket() const;

private:
    WaylandSession(Compositor compositor, int outputs);
    void prepareFolders();
    void startBus();
    void startSway();
    void startKWin();
    void startGnome();
    void addEnv(const std::string& keyValue);
    void waitFor(const std::string& what, std::chrono::milliseconds timeout,
                 const std::function<bool()>& ready);
    [[noreturn]] void fail(const std::string& what, const std::string& logName);
    pid_t launch(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                 int outFd, int errFd);
    std::string findXDisplay() const;

    Compositor compositor_;
    int outputs_;
    bool running_ = false;
    std::string token_;
    std::string base_;  // every file of the session lives below
    std::string runtimeDir_;
    std::string home_;
    std::string cgroup_;  // "" when none could be made
    std::string xDisplay_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<std::string> env_;
    std::vector<pid_t> children_;
    pid_t compositorPid_ = -1;
};

}  // namespace kvr::test
