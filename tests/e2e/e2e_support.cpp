#include "e2e_support.h"

#include <stdexcept>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "polling.h"

namespace kvr::e2e {

using test::pollUntil;

// Each try of a search starts xdotool: not too often on a shared machine.
constexpr auto kPollInterval = 20ms;

Program::Program() : Program(fs::path()) {}

Program::Program(fs::path installed) {
    home_ = root_ / "home";
    fs::create_directories(home_);
    if (installed.empty()) {
        folder_ = root_ / "app";
        program_ = folder_ / "kvr";
        fs::create_directories(folder_);
        fs::copy_file(KVR_PROGRAM, program_);
        const fs::path marker = fs::path(KVR_PROGRAM).parent_path() / "kvr.build-tree";
        fs::copy_file(marker, folder_ / marker.filename());
    } else {
        program_ = std::move(installed);
        folder_ = program_.parent_path();
    }
    server_ = std::make_unique<test::XServer>();
}

Program::~Program() {
    // The program before its server, the server before the folder the program ran in.
    running_.reset();
    server_.reset();
}

bool Program::start() {
    running_.emplace(
        test::Command{{program_.string()},
                      {"DISPLAY=" + display(), "HOME=" + home_.string(),
                       "XDG_CONFIG_HOME=" + configHome().string(), "QT_QPA_PLATFORM=xcb",
                       "XDG_RUNTIME_DIR=" + root_.path().string()},
                      root_ / "kvr.log"});
    const auto found = findWindow("^Kelvoro$", 10s);
    if (!found)
        return false;
    window_ = *found;
    return true;
}

CommandResult Program::run(const std::vector<std::string>& argv) const {
    return test::run({argv, {"DISPLAY=" + display()}});
}

void Program::click(int x, int y, std::optional<unsigned long> window) const {
    run({"xdotool", "mousemove", "--sync", "--window", std::to_string(window.value_or(window_)),
         std::to_string(x), std::to_string(y), "sleep", "0.1", "click", "1"});
}

std::optional<unsigned long> Program::findWindow(const std::string& titleRegex,
                                                 std::chrono::milliseconds timeout) const {
    std::optional<unsigned long> found;
    const auto search = [&] {
        const CommandResult r = run({"xdotool", "search", "--onlyvisible", "--name", titleRegex});
        if (r.exitCode == 0 && !r.output.empty())
            found = std::stoul(r.output);
        return found.has_value();
    };
    pollUntil(timeout, search, kPollInterval);
    return found;
}

std::string Program::title(unsigned long window) const {
    Display* dpy = XOpenDisplay(display().c_str());
    if (!dpy)
        return {};
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(dpy, "UTF8_STRING", False), &type, &format, &count, &after,
                           &data) == Success &&
        data)
        text.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    XCloseDisplay(dpy);
    return text;
}

bool Program::waitForTitle(const std::string& wanted, std::chrono::milliseconds timeout) const {
    return pollUntil(
        timeout, [&] { return title(window_) == wanted; }, kPollInterval);
}

bool Program::waitForFile(const fs::path& path, std::chrono::milliseconds timeout) const {
    return pollUntil(
        timeout, [&] { return fs::exists(path); }, kPollInterval);
}

std::optional<int> Program::waitForExit(std::chrono::milliseconds timeout) {
    return running_ ? running_->waitForExit(timeout) : std::nullopt;
}

}  // namespace kvr::e2e
