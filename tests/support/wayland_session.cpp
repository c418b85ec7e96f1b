#include "wayland_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "polling.h"

namespace fs = std::filesystem;

namespace kvr::test {
namespace {

using namespace std::chrono_literals;

constexpr char kUser[] = "kvrtest";
constexpr char kMarker[] = "KVR_WL_SESSION";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
    chmod(path.c_str(), mode);
}

std::string randomToken() {
    unsigned char bytes[6] = {};
    std::ifstream("/dev/urandom", std::ios::binary).read(reinterpret_cast<char*>(bytes), 6);
    std::string token;
    char hex[3];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        token += hex;
    }
    return token;
}

// Runs a root-side helper (useradd) and waits for it; its output is dropped.
int runQuietly(const std::vector<std::string>& argv) {
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void chownTree(const std::string& path, uid_t uid, gid_t gid) {
    if (geteuid() != 0)
        return;
    if (lchown(path.c_str(), uid, gid) != 0)
        throw std::runtime_error("cannot chown " + path);
    for (auto& entry : fs::recursive_directory_iterator(path))
        if (lchown(entry.path().c_str(), uid, gid) != 0)
            throw std::runtime_error("cannot chown " + entry.path().string());
}

bool isZombie(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() || stat[paren + 2] == 'Z';
}

bool hasMarker(pid_t pid, const std::string& marker) {
    const std::string environ = readFile("/proc/" + std::to_string(pid) + "/environ");
    size_t at = 0;
    while (at < environ.size()) {
        const size_t end = environ.find('\0', at);
        if (environ.compare(at, (end == std::string::npos ? environ.size() : end) - at, marker) ==
            0)
            return true;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return false;
}

// A unix socket somebody still listens on (a compositor that ended hard leaves its file).
bool socketAnswers(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

// The first line a command prints ("" when it cannot run).
std::string outputOf(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out.substr(0, out.find('\n'));
}

// The major version of the installed KWin (0 when unknown): KWin 6 is a Plasma 6 session and
// starts Xwayland only when the first X client connects.
int kwinMajorVersion() {
    const std::string version = outputOf("dpkg-query -W -f='${Version}' kwin-wayland 2>/dev/null");
    const std::string upstream = version.substr(version.find(':') + 1);  // after the epoch
    return std::atoi(upstream.c_str());
}

// The X display whose socket `pid` itself listens on: where KWin waits for the first X client
// before it starts Xwayland. Found by the process's own sockets, not by the owner of the socket
// file: several sessions of one user may be up at once.
std::string listenedXDisplayOf(pid_t pid) {
    std::set<std::string> inodes;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (!ec && target.starts_with("socket:[") && target.ends_with("]"))
            inodes.insert(target.substr(8, target.size() - 9));
    }
    // /proc/net/unix: Num RefCount Protocol Flags Type St Inode Path
    std::ifstream table("/proc/net/unix");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string num, refs, protocol, flags, type, state, inode, path;
        if (!(fields >> num >> refs >> protocol >> flags >> type >> state >> inode >> path) ||
            !inodes.contains(inode))
            continue;
        for (const std::string prefix : {"/tmp/.X11-unix/X", "@/tmp/.X11-unix/X"})
            if (path.starts_with(prefix) && path.size() > prefix.size() &&
                std::all_of(path.begin() + prefix.size(), path.end(), ::isdigit))
                return ":" + path.substr(prefix.size());
    }
    return "";
}

// Whether the installed portal cannot do without its document portal (it says so and starts
// over when that one fails, where older ones went on without it).
bool portalNeedsDocuments() {
    std::ifstream in("/usr/libexec/xdg-desktop-portal", std::ios::binary);
    const std::string binary((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    return binary.find("No document portal") != std::string::npos;
}

std::string firstMatching(const std::string& dir, const std::string& prefix,
                          const std::string& suffix = "") {
    std::error_code ec;
    for (auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(suffix) && entry.is_socket())
            return entry.path().string();
    }
    return "";
}

}  // namespace

const char* compositorName(Compositor compositor) {
    switch (compositor) {
        case Compositor::Sway:
            return "sway";
        case Compositor::KWin:
            return "kwin";
        case Compositor::Gnome:
            return "gnome";
    }
    return "?";
}

WaylandSession::WaylandSession(Compositor compositor, int outputs)
    : compositor_(compositor), outputs_(std::max(1, outputs)) {}

std::unique_ptr<WaylandSession> WaylandSession::start(Compositor compositor, int outputs) {
    // The session's orphans (Xwayland, swaybg, ... once their compositor is gone) become our
    // children, so that stop() can reap them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    // A second try from scratch: on a loaded machine running several sessions at once, GNOME
    // Shell now and then stalls before its Xwayland is up, and never recovers.
    for (int attempt = 1;; ++attempt) {
        std::unique_ptr<WaylandSession> session(new WaylandSession(compositor, outputs));
        session->prepareFolders();
        session->running_ = true;
        try {
            session->startBus();
            switch (compositor) {
                case Compositor::Sway:
                    session->startSway();
                    break;
                case Compositor::KWin:
                    session->startKWin();
                    break;
                case Compositor::Gnome:
                    session->startGnome();
                    break;
            }
            return session;
        } catch (const std::runtime_error& e) {
            session->stop();
            if (attempt == 2)
                throw;
            std::fprintf(stderr, "session start failed, trying once more:\n%s\n", e.what());
        } catch (...) {
            session->stop();
            throw;
        }
    }
}

WaylandSession::~WaylandSession() {
    stop();
}

std::string WaylandSession::variable(std::string_view key) const {
    for (auto& kv : env_)
        if (kv.size() > key.size() && kv.compare(0, key.size(), key) == 0 && kv[key.size()] == '=')
            return kv.substr(key.size() + 1);
    return "";
}

void WaylandSession::addEnv(const std::string& keyValue) {
    const std::string key = keyValue.substr(0, keyValue.find('='));
    std::erase_if(env_, [&](const std::string& kv) { return kv.starts_with(key + "="); });
    env_.push_back(keyValue);
}

void WaylandSession::prepareFolders() {
    // Xwayland puts its socket there; KWin gives up without the folder (a fresh machine with no
    // X server yet has none).
    if (mkdir("/tmp/.X11-unix", 01777) == 0)
        chmod("/tmp/.X11-unix", 01777);
    if (geteuid() == 0) {
        if (!getpwnam(kUser))
            runQuietly({"useradd", "-m", "-s", "/bin/sh", kUser});
        const passwd* pw = getpwnam(kUser);
        if (!pw)
            throw std::runtime_error(std::string("cannot create the user ") + kUser);
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
    } else {
        uid_ = getuid();
        gid_ = getgid();
    }
    const passwd* pw = getpwuid(uid_);
    const std::string user = pw ? pw->pw_name : std::to_string(uid_);

    token_ = randomToken();
    base_ = "/tmp/kvr-wl-" + token_;
    runtimeDir_ = base_ + "/run";
    home_ = base_ + "/home";
    fs::create_directories(base_);
    chmod(base_.c_str(), 0755);
    for (const char* dir : {"/logs", "/bin", "/services", "/portals"}) {
        fs::create_directories(base_ + dir);
        chmod((base_ + dir).c_str(), 0755);
    }
    fs::create_directories(runtimeDir_);
    chmod(runtimeDir_.c_str(), 0700);
    for (const char* dir : {"/Desktop", "/Pictures", "/.config"})
        fs::create_directories(home_ + dir);
    writeFile(home_ + "/.config/user-dirs.dirs",
              "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
    chownTree(runtimeDir_, uid_, gid_);
    chownTree(home_, uid_, gid_);

    // The document portal needs /dev/fuse, which a container rarely grants: activated anyway,
    // it dies and the portal's first call waits 25 s for it. One that fails at once is better,
    // where the portal goes on without it.
    if (!portalNeedsDocuments())
        writeFile(base_ + "/services/org.freedesktop.portal.Documents.service",
                  "[D-BUS Service]\nName=org.freedesktop.portal.Documents\nExec=/bin/false\n");
    writeFile(base_ + "/session-bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n  <type>session</type>\n  <keep_umask/>\n"
              "  <listen>unix:path=" +
                  runtimeDir_ +
                  "/bus</listen>\n  <auth>EXTERNAL</auth>\n"
                  "  <servicedir>" +
                  base_ +
                  "/services</servicedir>\n  <standard_session_servicedirs/>\n"
                  "  <policy context=\"default\">\n    <allow send_destination=\"*\" "
                  "eavesdrop=\"true\"/>\n    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");

    // Each session its own pids cgroup, so that stop() finds daemons that dropped the marker.
    const std::string cg = "/sys/fs/cgroup/pids/kvr-wl-" + token_;
    std::error_code ec;
    if (fs::is_directory("/sys/fs/cgroup/pids") && fs::create_directory(cg, ec) &&
        access((cg + "/cgroup.procs").c_str(), W_OK) == 0)
        cgroup_ = cg;
    else if (fs::is_directory(cg))
        fs::remove(cg, ec);

    env_ = {"HOME=" + home_,
            "USER=" + user,
            "LOGNAME=" + user,
            "PATH=/usr/local/bin:/usr/bin:/bin",
            "LANG=C.UTF-8",
            "XDG_RUNTIME_DIR=" + runtimeDir_,
            "XDG_SESSION_TYPE=wayland",
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/bus",
            "XDG_DESKTOP_PORTAL_DIR=" + base_ + "/portals",
            std::string(kMarker) + "=" + token_};
}

void WaylandSession::waitFor(const std::string& what, std::chrono::milliseconds timeout,
                             const std::function<bool()>& ready) {
    if (!pollUntil(timeout, ready, 50ms))
        throw std::runtime_error(std::string(compositorName(compositor_)) + " session: " + what +
                                 " did not happen; logs in " + base_ + "/logs");
}

void WaylandSession::fail(const std::string& what, const std::string& logName) {
    throw std::runtime_error(std::string(compositorName(compositor_)) + " session: " + what +
                             "\n--- " + logName + ".log ---\n" + log(logName));
}

pid_t WaylandSession::launch(const std::vector<std::string>& argv,
                             const std::vector<std::string>& extraEnv, int outFd, int errFd) {
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<std::string> envStrings = env_;
    for (auto& kv : extraEnv) {
        const std::string key = kv.substr(0, kv.find('='));
        std::erase_if(envStrings, [&](const std::string& e) { return e.starts_with(key + "="); });
        envStrings.push_back(kv);
    }
    std::vector<char*> args, envp;
    for (auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (auto& e : envStrings)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const std::string procs = cgroup_.empty() ? "" : cgroup_ + "/cgroup.procs";
    const bool root = geteuid() == 0;
    const uid_t uid = uid_;
    const gid_t gid = gid_;
    const std::string home = home_;

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid > 0)
        return pid;
    // Its own session: stop() and run()'s timeout end a whole process group.
    setsid();
    if (!procs.empty()) {
        int fd = open(procs.c_str(), O_WRONLY);
        if (fd >= 0) {
            (void)!write(fd, "0", 1);
            close(fd);
        }
    }
    if (root &&
        (setgroups(1, &gid) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0))
        _exit(126);
    // A test binary that dies must not leave its compositor behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(outFd >= 0 ? outFd : devnull, 1);
    dup2(errFd >= 0 ? errFd : devnull, 2);
    closefrom(3);
    if (chdir(home.c_str()) != 0)
        _exit(126);
    execvpe(args[0], args.data(), envp.data());
    const char msg[] = "exec failed\n";
    (void)!write(2, msg, sizeof msg - 1);
    _exit(127);
}

ProcessResult WaylandSession::run(const std::vector<std::string>& argv,
                                  std::chrono::milliseconds timeout,
                                  const std::vector<std::string>& extraEnv) {
    ProcessResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = launch(argv, extraEnv, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, int(left.count())) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
                      : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                            : -1;
    return result;
}

pid_t WaylandSession::spawn(const std::string& name, const std::vector<std::string>& argv,
                            const std::vector<std::string>& extraEnv) {
    const std::string path = base_ + "/logs/" + name + ".log";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    const pid_t pid = launch(argv, extraEnv, fd, fd);
    close(fd);
    children_.push_back(pid);
    return pid;
}

std::string WaylandSession::log(const std::string& name) const {
    return readFile(base_ + "/logs/" + name + ".log");
}

std::string WaylandSession::installProgram(const std::string& path) {
    const std::string copy = base_ + "/bin/" + fs::path(path).filename().string();
    if (!fs::exists(copy)) {
        fs::copy_file(path, copy);
        chmod(copy.c_str(), 0755);
        // Kelvoro's programs find their modules (the window, the D-Bus sources) beside them.
        for (const char* module : {"kvr-window.so", "kvr-dbus.so"}) {
            const fs::path built = fs::path(path).parent_path() / module;
            const fs::path beside = fs::path(copy).parent_path() / module;
            if (fs::exists(built) && !fs::exists(beside))
                fs::copy_file(built, beside);
        }
    }
    return copy;
}

std::vector<pid_t> WaylandSession::processes() const {
    std::set<pid_t> pids;
    if (!cgroup_.empty()) {
        std::istringstream in(readFile(cgroup_ + "/cgroup.procs"));
        pid_t pid;
        while (in >> pid)
            pids.insert(pid);
    }
    const std::string marker = std::string(kMarker) + "=" + token_;
    std::error_code ec;
    for (auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const pid_t pid = std::stoi(name);
        if (pid != getpid() && hasMarker(pid, marker))
            pids.insert(pid);
    }
    for (pid_t pid : children_)
        if (kill(pid, 0) == 0)
            pids.insert(pid);
    std::vector<pid_t> live;
    for (pid_t pid : pids)
        if (!isZombie(pid))
            live.push_back(pid);
    return live;
}

std::string WaylandSession::xSocket() const {
    if (xDisplay_.size() < 2)
        return "";
    return "/tmp/.X11-unix/X" + xDisplay_.substr(1);
}

bool WaylandSession::stop() {
    if (!running_)
        return true;
    running_ = false;
    // Orphans of the session come to us (a subreaper, see start()); the container's init may
    // never reap them, and a zombie keeps the cgroup from being removed.
    std::set<pid_t> seen(children_.begin(), children_.end());
    auto reap = [&] {
        for (pid_t pid : seen)
            waitpid(pid, nullptr, WNOHANG);
    };
    std::vector<pid_t> left = processes();
    seen.insert(left.begin(), left.end());
    // The compositor first: it ends Xwayland and its clients in its own order. KWin then waits
    // up to 5 s for an Xwayland that, now and then, waits for KWin in turn: past half a second,
    // Xwayland is killed.
    if (compositorPid_ > 0 && kill(compositorPid_, SIGTERM) == 0) {
        for (int i = 0; i < 50 && waitpid(compositorPid_, nullptr, WNOHANG) == 0; ++i) {
            if (i == 10)
                for (pid_t pid : left)
                    if (readFile("/proc/" + std::to_string(pid) + "/comm") == "Xwayland\n")
                        kill(pid, SIGKILL);
            std::this_thread::sleep_for(50ms);
        }
        left = processes();
        seen.insert(left.begin(), left.end());
    }
    for (pid_t pid : left)
        kill(pid, SIGTERM);
    for (int i = 0; i < 100 && !left.empty(); ++i) {
        std::this_thread::sleep_for(50ms);
        reap();
        left = processes();
        seen.insert(left.begin(), left.end());
    }
    for (int i = 0; i < 20 && !left.empty(); ++i) {
        for (pid_t pid : left)
            kill(pid, SIGKILL);
        std::this_thread::sleep_for(50ms);
        reap();
        left = processes();
        seen.insert(left.begin(), left.end());
    }
    children_.clear();
    std::error_code ec;
    bool removed = true;
    if (!cgroup_.empty()) {
        // Emptied once the last zombie is gone.
        for (int i = 0; i < 40 && fs::exists(cgroup_) && !fs::remove(cgroup_, ec); ++i) {
            reap();
            std::this_thread::sleep_for(50ms);
        }
        removed = !fs::exists(cgroup_);
    }
    // Xwayland's socket and lock live outside the session's folders; a server ended hard
    // leaves them behind.
    const std::string xs = xSocket();
    if (!xs.empty() && fs::exists(xs) && !socketAnswers(xs)) {
        fs::remove(xs, ec);
        fs::remove("/tmp/.X" + xDisplay_.substr(1) + "-lock", ec);
    }
    fs::remove_all(base_, ec);
    return left.empty() && removed;
}

void WaylandSession::startBus() {
    spawn("dbus", {"dbus-daemon", "--config-file=" + base_ + "/session-bus.conf", "--nofork",
                   "--nopidfile"});
    const std::string bus = runtimeDir_ + "/bus";
    waitFor("the session bus", 10s, [&] { return socketAnswers(bus); });
}

std::string WaylandSession::findXDisplay() const {
    for (pid_t pid : processes()) {
        const std::string dir = "/proc/" + std::to_string(pid);
        if (readFile(dir + "/comm") != "Xwayland\n")
            continue;
        std::string cmdline = readFile(dir + "/cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        std::istringstream words(cmdline);
        std::string word;
        while (words >> word)
            if (word.size() > 1 && word[0] == ':' && std::isdigit(word[1]))
                return word;
    }
    return "";
}

void WaylandSession::startSway() {
    std::string config =
        "xwayland enable\n"
        "output * bg #3a6ea5 solid_color\n"
        "default_border normal 2\n"
        "default_floating_border normal 2\n"
        "focus_follows_mouse no\n"
        "for_window [title=\"^kvr-test-pattern\"] floating enable, move absolute position " +
        std::to_string(kPatternX) + " " + std::to_string(kPatternY) + "\n";
    for (int i = 0; i < outputs_; ++i)
        config += "output HEADLESS-" + std::to_string(i + 1) + " mode " +
                  std::to_string(kOutputWidth) + "x" + std::to_string(kOutputHeight) +
                  " position " + std::to_string(i * kOutputWidth) + " 0\n";
    writeFile(base_ + "/sway.conf", config);
    addEnv("XDG_CURRENT_DESKTOP=sway");
    compositorPid_ =
        spawn("sway", {"sway", "-c", base_ + "/sway.conf"},
              {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
               "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs_)});
    std::string ipc, wayland;
    try {
        waitFor("sway's sockets", 20s, [&] {
            ipc = firstMatching(runtimeDir_, "sway-ipc.", ".sock");
            wayland = firstMatching(runtimeDir_, "wayland-");
            return !ipc.empty() && !wayland.empty();
        });
    } catch (const std::runtime_error&) {
        fail("sway did not start", "sway");
    }
    addEnv("SWAYSOCK=" + ipc);
    addEnv("WAYLAND_DISPLAY=" + fs::path(wayland).filename().string());
    // Xwayland starts on its first client; sway knows its display from the start.
    const ProcessResult display =
        run({"swaymsg", "exec", "printenv DISPLAY > \"$XDG_RUNTIME_DIR/display\""}, 10s);
    if (display.exitCode != 0)
        fail("swaymsg exec failed: " + display.err, "sway");
    const std::string file = runtimeDir_ + "/display";
    waitFor("sway's DISPLAY", 10s, [&] { return !readFile(file).empty(); });
    xDisplay_ = readFile(file);
    xDisplay_.erase(xDisplay_.find_last_not_of("\n ") + 1);
    addEnv("DISPLAY=" + xDisplay_);
    const ProcessResult outputs = run({"swaymsg", "-t", "get_outputs", "-r"}, 10s);
    size_t count = 0;
    for (size_t at = outputs.out.find("\"HEADLESS-"); at != std::string::npos;
         at = outputs.out.find("\"HEADLESS-", at + 1))
        ++count;
    if (count != size_t(outputs_))
        fail("sway has " + std::to_string(count) + " outputs, not " + std::to_string(outputs_),
             "sway");
    run({"dbus-update-activation-environment", "WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY",
         "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE"},
        10s);
}

void WaylandSession::startKWin() {
    // kwin_wayland carries a file capability (cap_sys_resource) that a container's bounding
    // set may lack: exec then fails with EPERM. A plain copy carries none.
    const std::string kwin = base_ + "/bin/kwin_wayland";
    fs::copy_file("/usr/bin/kwin_wayland", kwin);
    chmod(kwin.c_str(), 0755);
    const std::string x = std::to_string(kPatternX) + "," + std::to_string(kPatternY);
    writeFile(home_ + "/.config/kwinrulesrc",
              "[General]\ncount=1\nrules=1\n\n[1]\nDescription=kvr-test-pattern\n"
              "title=kvr-test-pattern\ntitlematch=2\nposition=" +
                  x + "\npositionrule=2\n");
    writeFile(home_ + "/.config/kwinrc",
              "[Windows]\nPlacement=Centered\nFocusStealingPreventionLevel=0\n");
    chownTree(home_ + "/.config", uid_, gid_);
    addEnv("XDG_CURRENT_DESKTOP=KDE");
    const int kwinMajor = kwinMajorVersion();
    // KWin 6 outside a real Plasma session crashes at start when told it is in one: only the
    // session's clients are told.
    if (kwinMajor < 6)
        addEnv("KDE_FULL_SESSION=true");
    addEnv("KDE_SESSION_VERSION=" + std::to_string(kwinMajor >= 6 ? kwinMajor : 5));
    std::vector<std::string> argv = {kwin,
                                     "--virtual",
                                     "--xwayland",
                                     "--width",
                                     std::to_string(kOutputWidth),
                                     "--height",
                                     std::to_string(kOutputHeight),
                                     "--socket",
                                     "wayland-0",
                                     "--no-lockscreen",
                                     "--no-global-shortcuts",
                                     "--no-kactivities"};
    if (outputs_ > 1) {
        argv.push_back("--output-count");
        argv.push_back(std::to_string(outputs_));
    }
    compositorPid_ = spawn("kwin", argv, {"QT_QPA_PLATFORM=offscreen"});
    const std::string socket = runtimeDir_ + "/wayland-0";
    try {
        waitFor("kwin's socket", 30s, [&] { return socketAnswers(socket); });
        waitFor("Xwayland under kwin", 30s, [&] {
            xDisplay_ = findXDisplay();
            if (xDisplay_.empty() && kwinMajor >= 6)
                xDisplay_ = listenedXDisplayOf(compositorPid_);
            return !xDisplay_.empty();
        });
    } catch (const std::runtime_error&) {
        fail("kwin_wayland did not start", "kwin");
    }
    if (kwinMajor >= 6)
        addEnv("KDE_FULL_SESSION=true");
    addEnv("WAYLAND_DISPLAY=wayland-0");
    addEnv("DISPLAY=" + xDisplay_);
    run({"dbus-update-activation-environment", "WAYLAND_DISPLAY", "DISPLAY", "XDG_CURRENT_DESKTOP",
         "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "XDG_SESSION_TYPE"},
        10s);
}

void WaylandSession::startGnome() {
    // GNOME Shell takes /run/systemd/seats as a sign of logind and then needs a system bus; a
    // private, empty one is enough.
    writeFile(base_ + "/system-bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n  <type>system</type>\n  <listen>unix:path=" +
                  runtimeDir_ +
                  "/system_bus_socket</listen>\n  <auth>EXTERNAL</auth>\n"
                  "  <policy context=\"default\">\n    <allow send_destination=\"*\" "
                  "eavesdrop=\"true\"/>\n    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");
    for (const char* portal : {"gnome.portal", "gtk.portal"})
        fs::copy_file(std::string("/usr/share/xdg-desktop-portal/portals/") + portal,
                      base_ + "/portals/" + portal);
    // Portals from 1.18 on pick their backends by the desktop's portals.conf, which comes with
    // the GNOME session rather than with the shell; older ones read the same from gnome.portal.
    const std::string portalConf = home_ + "/.config/xdg-desktop-portal";
    fs::create_directories(portalConf);
    writeFile(portalConf + "/gnome-portals.conf", "[preferred]\ndefault=gnome;gtk;\n");
    chownTree(portalConf, uid_, gid_);
    addEnv("XDG_CURRENT_DESKTOP=GNOME");
    addEnv("DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + runtimeDir_ + "/system_bus_socket");
    spawn("systembus", {"dbus-daemon", "--config-file=" + base_ + "/system-bus.conf", "--nofork",
                        "--nopidfile"});
    waitFor("the private system bus", 10s,
            [&] { return socketAnswers(runtimeDir_ + "/system_bus_socket"); });
    // No hot corner (a pointer at 0,0 opens the overview), no blanking, no banners.
    for (const std::vector<std::string>& key : std::vector<std::vector<std::string>>{
             {"org.gnome.desktop.interface", "enable-hot-corners", "false"},
             {"org.gnome.desktop.session", "idle-delay", "0"},
             {"org.gnome.desktop.screensaver", "lock-enabled", "false"},
             {"org.gnome.desktop.notifications", "show-banners", "false"},
             {"org.gnome.mutter", "center-new-windows", "true"},
             // A plain background, as the other sessions have: GNOME 48's picture leaves
             // too little of the screen flat to compare a JPEG with.
             {"org.gnome.desktop.background", "picture-options", "'none'"},
             {"org.gnome.desktop.background", "color-shading-type", "'solid'"},
             {"org.gnome.shell", "welcome-dialog-last-shown-version", "'99'"}}) {
        std::vector<std::string> argv = {"gsettings", "set"};
        argv.insert(argv.end(), key.begin(), key.end());
        const ProcessResult r = run(argv, 20s);
        if (r.exitCode != 0)
            throw std::runtime_error("gnome session: gsettings set " + key[0] + " " + key[1] +
                                     " failed: " + r.err);
    }
    std::vector<std::string> argv = {"gnome-shell", "--headless", "--wayland", "--wayland-display",
                                     "wayland-0"};
    for (int i = 0; i < outputs_; ++i) {
        argv.push_back("--virtual-monitor");
        argv.push_back(std::to_string(kOutputWidth) + "x" + std::to_string(kOutputHeight));
    }
    // The shell's own helpers (its X11 window frames) start the portal before the shell is
    // ready: by then the portal must find the desktop and the display in its environment.
    run({"dbus-update-activation-environment", "WAYLAND_DISPLAY=wayland-0", "XDG_CURRENT_DESKTOP",
         "XDG_SESSION_TYPE", "XDG_DESKTOP_PORTAL_DIR", "DBUS_SYSTEM_BUS_ADDRESS"},
        10s);
    compositorPid_ = spawn("gnome-shell", argv);
    try {
        waitFor("GNOME Shell's start", 60s, [&] {
            return log("gnome-shell").find("GNOME Shell started") != std::string::npos;
        });
        waitFor("Xwayland under GNOME Shell", 30s,
                [&] { return !(xDisplay_ = findXDisplay()).empty(); });
    } catch (const std::runtime_error&) {
        fail("gnome-shell did not start", "gnome-shell");
    }
    addEnv("WAYLAND_DISPLAY=wayland-0");
    addEnv("DISPLAY=" + xDisplay_);
    const std::string xauth = [&] {
        std::error_code ec;
        for (auto& entry : fs::directory_iterator(runtimeDir_, ec))
            if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth."))
                return entry.path().string();
        return std::string();
    }();
    if (!xauth.empty())
        addEnv("XAUTHORITY=" + xauth);
    run({"dbus-update-activation-environment", "WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY",
         "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "XDG_DESKTOP_PORTAL_DIR",
         "DBUS_SYSTEM_BUS_ADDRESS"},
        10s);
    // The shell opens the overview at start, over every window.
    const ProcessResult overview =
        run({"gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path",
             "/org/gnome/Shell", "--method", "org.freedesktop.DBus.Properties.Set",
             "org.gnome.Shell", "OverviewActive", "<false>"},
            20s);
    if (overview.exitCode != 0)
        fail("could not close the overview: " + overview.err, "gnome-shell");
}

void WaylandSession::showPattern(const std::string& title, bool x11) {
#ifndef KVR_TEST_PATTERN_PROGRAM
#error "KVR_TEST_PATTERN_PROGRAM: the path of the pattern window program"
#endif
    const std::string program = installProgram(KVR_TEST_PATTERN_PROGRAM);
    const std::string name = "pattern-" + title;
    spawn(name, {program, "--title", title},
          {x11 ? "QT_QPA_PLATFORM=xcb" : "QT_QPA_PLATFORM=wayland"});
    try {
        waitFor("the pattern window's first paint", 30s,
                [&] { return log(name).find("painted") != std::string::npos; });
        if (compositor_ == Compositor::Sway) {
            // Placed and decorated: sway's title bar (deco_rect) is laid out.
            const std::string titled = "\"name\":\"" + title + "\"";
            waitFor("the pattern window in sway's tree", 10s, [&] {
                const ProcessResult tree = run({"swaymsg", "-t", "get_tree", "-r"}, 10s);
                std::string compact;
                for (char ch : tree.out)
                    if (ch != ' ' && ch != '\n')
                        compact += ch;
                const size_t at = compact.find(titled);
                if (at == std::string::npos)
                    return false;
                // The node's keys come in sway's order: rect, deco_rect, ..., name, children.
                const size_t deco = compact.rfind("\"deco_rect\":{", at);
                if (deco == std::string::npos)
                    return false;
                const std::string rect = compact.substr(deco, compact.find('}', deco) - deco);
                return rect.find("\"height\":0") == std::string::npos;
            });
        }
    } catch (const std::runtime_error&) {
        fail("the pattern window did not show", name);
    }
}

std::optional<WaylandSession::WindowFrame> WaylandSession::windowFrame(const std::string& title) {
    if (compositor_ == Compositor::Sway) {
        const ProcessResult tree = run({"swaymsg", "-t", "get_tree", "-r"}, 10s);
        std::optional<WindowFrame> found;
        std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& node) {
            if (node.value("name").toString().toStdString() == title &&
                (node.value("type") == "con" || node.value("type") == "floating_con")) {
                auto box = [&](const char* key) {
                    const QJsonObject r = node.value(key).toObject();
                    return Box{r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
                               r.value("height").toInt()};
                };
                // sway's rect leaves the title bar out; window_rect is relative to rect.
                const Box outer = box("rect"), inner = box("window_rect"), deco = box("deco_rect");
                found = WindowFrame{
                    outer.x,
                    outer.y - deco.height,
                    outer.width,
                    outer.height + deco.height,
                    node.value("focused").toBool(),
                    Box{outer.x + inner.x, outer.y + inner.y, inner.width, inner.height}};
            }
            for (const char* key : {"nodes", "floating_nodes"})
                for (const QJsonValue& child : node.value(key).toArray())
                    walk(child.toObject());
        };
        walk(QJsonDocument::fromJson(QByteArray::fromStdString(tree.out)).object());
        return found;
    }
    if (compositor_ == Compositor::KWin) {
        // A KWin script prints into KWin's own output (its log here), under a tag of its own.
        static int serial = 0;
        const std::string tag = "KVRFRAME" + std::to_string(++serial) + "_" + token_;
        const std::string js = home_ + "/" + tag + ".js";
        writeFile(
            js,
            // KWin 6 renamed clientList and activeClient to windowList and activeWindow.
            "const l = workspace.windowList ? workspace.windowList() : workspace.clientList();\n"
            "const a = workspace.windowList ? workspace.activeWindow : workspace.activeClient;\n"
            "for (let i = 0; i < l.length; ++i) {\n"
            "  const f = l[i].frameGeometry;\n"
            "  print('" +
                tag +
                " ' + JSON.stringify({caption: l[i].caption, x: f.x, y: f.y,"
                " width: f.width, height: f.height, active: l[i] === a}));\n"
                "}\nprint('" +
                tag + " end');\n");
        const ProcessResult load =
            run({"gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                 "/Scripting", "--method", "org.kde.kwin.Scripting.loadScript", js, tag},
                10s);
        std::string id;
        for (char c : load.out)
            if (std::isdigit(static_cast<unsigned char>(c)))
                id += c;
        std::optional<WindowFrame> found;
        if (load.exitCode == 0 && !id.empty()) {
            // KWin 6 keeps its scripts under /Scripting, KWin 5 at the root.
            for (const std::string& path : {"/Scripting/Script" + id, "/" + id})
                if (run({"gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                         path, "--method", "org.kde.kwin.Script.run"},
                        10s)
                        .exitCode == 0)
                    break;
            try {
                waitFor("KWin's window list", 10s,
                        [&] { return log("kwin").find(tag + " end") != std::string::npos; });
            } catch (const std::runtime_error&) {
            }
            const std::string text = log("kwin");
            for (size_t at = text.find(tag + " {"); at != std::string::npos;
                 at = text.find(tag + " {", at + 1)) {
                const size_t start = at + tag.size() + 1;
                const std::string line = text.substr(start, text.find('\n', start) - start);
                const QJsonObject w =
                    QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
                if (w.value("caption").toString().toStdString() == title)
                    found = WindowFrame{w.value("x").toInt(),       w.value("y").toInt(),
                                        w.value("width").toInt(),   w.value("height").toInt(),
                                        w.value("active").toBool(), std::nullopt};
            }
            run({"gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                 "/Scripting", "--method", "org.kde.kwin.Scripting.unloadScript", tag},
                10s);
        }
        fs::remove(js);
        return found;
    }
    return std::nullopt;
}

}  // namespace kvr::test
