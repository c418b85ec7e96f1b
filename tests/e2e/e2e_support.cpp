#include "e2e_support.h"

#include <signal.h>

#include <algorithm>
#include <sstream>
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
        // The window and the D-Bus sources are modules found beside the program.
        for (const char* module : {"kvr-window.so", "kvr-dbus.so"})
            fs::copy_file(fs::path(KVR_PROGRAM).parent_path() / module, folder_ / module);
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

bool Program::start(const std::vector<std::string>& extra) {
    std::vector<std::string> env = {
        "DISPLAY=" + display(), "HOME=" + home_.string(),
        "XDG_CONFIG_HOME=" + configHome().string(), "QT_QPA_PLATFORM=xcb",
        "XDG_RUNTIME_DIR=" + root_.path().string(),
        // Japanese, as where no translation applies.
        "LANG=C.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE=",
        // Never the developer's session bus: none unless given.
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (root_ / "no-bus").string()};
    env.insert(env.end(), extra.begin(), extra.end());
    running_.emplace(test::Command{{program_.string()}, env, root_ / "kvr.log"});
    const auto found = findWindow("^Kelvoro$", 10s);
    if (!found)
        return false;
    window_ = *found;
    // Keys go to the active window: wait until the window manager has made it ours.
    return pollUntil(10s, [&] {
        const CommandResult r = run({"xdotool", "getactivewindow"});
        return r.exitCode == 0 && std::stoul(r.output) == window_;
    });
}

CommandResult Program::run(const std::vector<std::string>& argv) const {
    return test::run({argv, {"DISPLAY=" + display()}});
}

void Program::keys(const std::vector<std::string>& names) const {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), names.begin(), names.end());
    run(argv);
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

bool Program::waitForWindowGone(const std::string& titleRegex,
                                std::chrono::milliseconds timeout) const {
    return pollUntil(
        timeout,
        [&] {
            const CommandResult r =
                run({"xdotool", "search", "--onlyvisible", "--name", titleRegex});
            return r.exitCode != 0 || r.output.empty();
        },
        kPollInterval);
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

void Program::signal(int number) const {
    if (running_)
        ::kill(running_->pid(), number);
}

std::optional<int> Program::waitForExit(std::chrono::milliseconds timeout) {
    return running_ ? running_->waitForExit(timeout) : std::nullopt;
}

namespace {

// The bus's configuration: a session bus on a socket in folder, nothing activated on demand.
std::string busConfig(const fs::path& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:path=" +
           socket.string() +
           "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
}

}  // namespace

SessionBus::SessionBus(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_);
    const fs::path socket = folder_ / "bus";
    test::writeText(folder_ / "bus.conf", busConfig(socket));
    address_ = "unix:path=" + socket.string();
    daemon_.emplace(test::Command{
        {"dbus-daemon", "--nofork", "--config-file=" + (folder_ / "bus.conf").string()},
        {},
        folder_ / "bus.log"});
    if (!pollUntil(10s, [&] {
            return run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"})
                       .exitCode == 0;
        }))
        throw std::runtime_error("dbus-daemon did not start: " +
                                 test::readText(folder_ / "bus.log"));
}

SessionBus::~SessionBus() {
    helpers_.clear();
    daemon_.reset();
}

std::vector<std::string> SessionBus::environment(const std::string& display) const {
    std::vector<std::string> env = {
        "DBUS_SESSION_BUS_ADDRESS=" + address_, "HOME=" + folder_.string(),
        "XDG_RUNTIME_DIR=" + folder_.string(), "XDG_CONFIG_HOME=" + (folder_ / "config").string()};
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    return env;
}

CommandResult SessionBus::run(const std::vector<std::string>& argv,
                              const std::string& display) const {
    return test::run({argv, environment(display)});
}

bool SessionBus::hasOwner(const std::string& name) const {
    const CommandResult r =
        run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name});
    return r.exitCode == 0 && r.output.find("boolean true") != std::string::npos;
}

void SessionBus::startHelper(const std::vector<std::string>& argv, const std::string& display) {
    helpers_.push_back(std::make_unique<test::Process>(
        test::Command{argv, environment(display), folder_ / "helpers.log"}));
}

bool SessionBus::startAccessibility(const std::string& display) {
    startHelper({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}, display);
    return pollUntil(10s, [&] { return hasOwner("org.a11y.Bus"); });
}

bool SessionBus::startNotifications(const std::string& display) {
    startHelper({"dunst"}, display);
    return pollUntil(10s, [&] { return hasOwner("org.freedesktop.Notifications"); });
}

namespace {

std::vector<AccessibleNode> readTree(const SessionBus& bus) {
    const CommandResult r = bus.run({"/usr/bin/python3", KVR_ATSPI_TREE});
    std::vector<AccessibleNode> tree;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        // Seven fields, the last ones often empty.
        std::vector<std::string> f(1);
        for (char c : line) {
            if (c == '\t')
                f.emplace_back();
            else
                f.back() += c;
        }
        if (f.size() != 7)
            continue;
        AccessibleNode node;
        node.depth = std::stoi(f[0]);
        node.role = f[1];
        node.name = f[2];
        node.value = f[3];
        node.parentName = f[4];
        node.focused = f[5].find("focused") != std::string::npos;
        node.checked = f[5].find("checked") != std::string::npos;
        node.hasNumber = !f[6].empty();
        if (node.hasNumber)
            node.number = std::stod(f[6]);
        tree.push_back(node);
    }
    return tree;
}

}  // namespace

std::vector<AccessibleNode> accessibleTree(const SessionBus& bus) {
    // A program registers with the accessibility bus a moment after its window shows.
    std::vector<AccessibleNode> tree;
    pollUntil(10s, [&] {
        tree = readTree(bus);
        return std::any_of(tree.begin(), tree.end(),
                           [](const AccessibleNode& n) { return n.role == "push button"; });
    });
    return tree;
}

const AccessibleNode* findNode(const std::vector<AccessibleNode>& tree, const std::string& role,
                               const std::string& name) {
    for (const AccessibleNode& node : tree)
        if (node.role == role && node.name == name)
            return &node;
    return nullptr;
}

}  // namespace kvr::e2e
