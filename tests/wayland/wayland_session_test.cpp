// The test fixture's own promises: each compositor comes up headless for an unprivileged user
// with a private runtime folder, serves Wayland and X11 clients, shows the pattern window, and
// stop() leaves no process, socket, folder or cgroup behind, start after start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "wayland_session.h"

namespace fs = std::filesystem;
using kvr::test::Compositor;
using kvr::test::WaylandSession;

namespace {

class SessionLifecycle : public ::testing::TestWithParam<Compositor> {};

TEST_P(SessionLifecycle, StartsServesAndStopsCleanlyTwice) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        auto session = WaylandSession::start(GetParam());
        const std::string runtime = session->runtimeDir();
        const std::string wayland = runtime + "/" + session->variable("WAYLAND_DISPLAY");

        struct stat st {};
        ASSERT_EQ(stat(runtime.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, session->uid());
        if (geteuid() == 0) {
            EXPECT_NE(session->uid(), 0u) << "the session must not run as root";
        }
        ASSERT_EQ(stat(wayland.c_str(), &st), 0) << wayland;
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_TRUE(fs::is_directory(session->home() + "/Pictures"));
        EXPECT_TRUE(fs::is_directory(session->home() + "/Desktop"));

        // A client as the session user: its identity, and Xwayland answering on DISPLAY.
        const auto id = session->run({"id", "-u"});
        EXPECT_EQ(id.out, std::to_string(session->uid()) + "\n");
        const auto x = session->run({"xdpyinfo"});
        EXPECT_EQ(x.exitCode, 0) << x.err;
        EXPECT_NE(x.out.find("dimensions:"), std::string::npos);

        session->showPattern();
        // Where the fixture puts it (GNOME centres it and tells nobody).
        const auto frame = session->windowFrame("kvr-test-pattern");
        if (GetParam() == Compositor::Gnome) {
            EXPECT_FALSE(frame);
        } else {
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->x, WaylandSession::kPatternX);
            EXPECT_EQ(frame->y, WaylandSession::kPatternY);
            EXPECT_GE(frame->width, WaylandSession::kPatternWidth);
            EXPECT_LE(frame->width, WaylandSession::kPatternWidth + 20) << "borders, no shadow";
            EXPECT_GT(frame->height, WaylandSession::kPatternHeight) << "a title bar";
            EXPECT_TRUE(frame->active);
        }
        const std::vector<pid_t> processes = session->processes();
        EXPECT_GE(processes.size(), 3u) << "bus, compositor and pattern window at least";
        const std::string xSocket = session->xSocket();
        EXPECT_FALSE(xSocket.empty());
        // Another server may take the display number as soon as it is free: ours is the file
        // seen now.
        struct stat xs {};
        EXPECT_EQ(stat(xSocket.c_str(), &xs), 0) << xSocket;

        EXPECT_TRUE(session->stop());
        for (pid_t pid : processes)
            EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)) &&
                         fs::exists("/proc/" + std::to_string(pid) + "/exe"))
                << "process " << pid << " outlived stop()";
        EXPECT_TRUE(session->processes().empty());
        EXPECT_FALSE(fs::exists(runtime));
        EXPECT_FALSE(fs::exists(wayland));
        struct stat after {};
        EXPECT_FALSE(stat(xSocket.c_str(), &after) == 0 && after.st_ino == xs.st_ino) << xSocket;
        EXPECT_FALSE(fs::exists("/sys/fs/cgroup/pids/kvr-wl-" +
                                fs::path(runtime).parent_path().filename().string().substr(7)))
            << "the session's cgroup";
    }
}

INSTANTIATE_TEST_SUITE_P(Compositors, SessionLifecycle,
                         ::testing::Values(Compositor::Sway, Compositor::KWin, Compositor::Gnome),
                         [](const auto& info) { return kvr::test::compositorName(info.param); });

}  // namespace

namespace {

// Processes that ignore TERM, start their own session, or drop the session's marker from their
// environment are still ended by stop().
TEST(SessionStop, EndsStubbornAndDetachedProcesses) {
    auto session = WaylandSession::start(Compositor::Sway);
    const pid_t stubborn =
        session->spawn("stubborn", {"sh", "-c", "trap '' TERM; setsid sleep 600 & exec sleep 600"});
    // Found through the session's cgroup only, which needs root here.
    const bool cgroup = geteuid() == 0;
    if (cgroup)
        session->spawn("unmarked",
                       {"sh", "-c",
                        "env -i setsid /bin/sleep 600 & echo $! > \"$HOME/unmarked.pid\"; "
                        "exec sleep 600"});
    // Every sleep is up before stop() is asked to end them.
    std::vector<pid_t> before;
    for (int i = 0; i < 100; ++i) {
        before = session->processes();
        const size_t sleeps = std::count_if(before.begin(), before.end(), [](pid_t pid) {
            std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
            std::string name;
            return comm >> name && name == "sleep";
        });
        if (sleeps == (cgroup ? 4u : 2u))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The one without the marker, known by the PID it told us.
    pid_t unmarked = -1;
    if (cgroup) {
        std::ifstream(session->home() + "/unmarked.pid") >> unmarked;
        EXPECT_GT(unmarked, 0);
    }

    EXPECT_TRUE(session->stop());
    EXPECT_TRUE(session->processes().empty());
    for (pid_t pid : before)
        EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid) + "/exe")) << pid << " survived";
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(stubborn) + "/exe"));
    if (unmarked > 0) {
        EXPECT_FALSE(fs::exists("/proc/" + std::to_string(unmarked) + "/exe"))
            << "the unmarked process survived";
    }
}

}  // namespace
