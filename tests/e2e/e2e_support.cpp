#include "e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

// After the standard headers: jpeglib.h needs FILE and size_t declared first.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <jpeglib.h>

namespace kvr::e2e {
namespace {

// Runs argv with extra environment; output goes to outFile when given (else /dev/null).
int spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const fs::path& outFile, int outPipe = -1) {
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A test that crashes or is killed takes the program and its helpers with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        for (const auto& e : env)
            putenv(const_cast<char*>(e.c_str()));
        int out = outPipe >= 0 ? outPipe
                               : open(outFile.empty() ? "/dev/null" : outFile.c_str(),
                                      O_WRONLY | O_CREAT | O_APPEND, 0644);
        int err = outFile.empty() ? open("/dev/null", O_WRONLY) : out;
        dup2(out, 1);
        dup2(err, 2);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        setpgid(0, 0);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Polls done until it holds or timeout has passed.
template <typename F>
bool pollUntil(std::chrono::milliseconds timeout, F done) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        if (done())
            return true;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

struct JpegErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorExit*>(info->err)->jump, 1);
}

}  // namespace

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::optional<JpegPicture> decodeJpeg(const fs::path& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 4)
        return std::nullopt;
    jpeg_decompress_struct info{};
    JpegErrorExit error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    JpegPicture picture;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    picture.width = int(info.output_width);
    picture.height = int(info.output_height);
    picture.components = info.output_components;
    const size_t stride = size_t(picture.width) * picture.components;
    picture.pixels.resize(stride * picture.height);
    while (info.output_scanline < info.output_height) {
        unsigned char* row = picture.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    // A file cut short decodes with a warning (libjpeg fills in grey): not a whole picture.
    const bool whole = error.manager.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    if (!whole)
        return std::nullopt;
    return picture;
}

Program::Program() : Program(fs::path()) {}

Program::Program(fs::path installed) {
    char tmpl[] = "/tmp/kvr-e2e-XXXXXX";
    root_ = mkdtemp(tmpl);
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
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    server_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

bool Program::start(const std::vector<std::string>& extra) {
    std::vector<std::string> env = {
        "DISPLAY=" + display(), "HOME=" + home_.string(),
        "XDG_CONFIG_HOME=" + configHome().string(), "QT_QPA_PLATFORM=xcb",
        "XDG_RUNTIME_DIR=" + root_.string(),
        // Japanese, as where no translation applies.
        "LANG=C.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE=",
        // Never the developer's session bus: none unless given.
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (root_ / "no-bus").string()};
    env.insert(env.end(), extra.begin(), extra.end());
    pid_ = spawn({program_.string()}, env, root_ / "kvr.log");
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
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const int pid = spawn(argv, {"DISPLAY=" + display()}, {}, fds[1]);
    close(fds[1]);
    CommandResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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
    pollUntil(timeout, [&] {
        const CommandResult r = run({"xdotool", "search", "--onlyvisible", "--name", titleRegex});
        if (r.exitCode == 0 && !r.output.empty())
            found = std::stoul(r.output);
        return found.has_value();
    });
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
    return pollUntil(timeout, [&] { return title(window_) == wanted; });
}

bool Program::waitForFile(const fs::path& path, std::chrono::milliseconds timeout) const {
    return pollUntil(timeout, [&] { return fs::exists(path); });
}

std::optional<int> Program::waitForExit(std::chrono::milliseconds timeout) {
    std::optional<int> code;
    pollUntil(timeout, [&] {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_)
            return false;
        pid_ = -1;
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    });
    return code;
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

void stopProcess(int& pid) {
    if (pid <= 0)
        return;
    kill(-pid, SIGTERM);  // its own process group: helpers it started go too
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace

SessionBus::SessionBus(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_);
    const fs::path socket = folder_ / "bus";
    writeFile(folder_ / "bus.conf", busConfig(socket));
    address_ = "unix:path=" + socket.string();
    daemonPid_ =
        spawn({"dbus-daemon", "--nofork", "--config-file=" + (folder_ / "bus.conf").string()}, {},
              folder_ / "bus.log");
    if (!pollUntil(10s, [&] {
            return run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"})
                       .exitCode == 0;
        }))
        throw std::runtime_error("dbus-daemon did not start: " + readFile(folder_ / "bus.log"));
}

SessionBus::~SessionBus() {
    for (int& pid : helpers_)
        stopProcess(pid);
    stopProcess(daemonPid_);
}

CommandResult SessionBus::run(const std::vector<std::string>& argv,
                              const std::string& display) const {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> env = {"DBUS_SESSION_BUS_ADDRESS=" + address_,
                                    "HOME=" + folder_.string(),
                                    "XDG_RUNTIME_DIR=" + folder_.string()};
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    const int pid = spawn(argv, env, {}, fds[1]);
    close(fds[1]);
    CommandResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool SessionBus::hasOwner(const std::string& name) const {
    const CommandResult r =
        run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name});
    return r.exitCode == 0 && r.output.find("boolean true") != std::string::npos;
}

void SessionBus::startHelper(const std::vector<std::string>& argv, const std::string& display) {
    std::vector<std::string> env = {
        "DBUS_SESSION_BUS_ADDRESS=" + address_, "HOME=" + folder_.string(),
        "XDG_RUNTIME_DIR=" + folder_.string(), "XDG_CONFIG_HOME=" + (folder_ / "config").string()};
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    helpers_.push_back(spawn(argv, env, folder_ / "helpers.log"));
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
