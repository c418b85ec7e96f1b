// Whether the display the toolkit will open answers, before the toolkit tries (and aborts with
// advice about reinstalling): real X servers, a real socket for Wayland, unused display numbers.
#include "platform/display_check.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "xserver.h"

namespace kvr::platform {
namespace {

namespace fs = std::filesystem;

// A display number no server listens on.
std::string unusedDisplay() {
    for (int n = 900;; ++n)
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) &&
            !fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            return ":" + std::to_string(n);
}

// A listening Unix socket in its own folder, as a compositor makes one in XDG_RUNTIME_DIR.
class WaylandSocket {
public:
    WaylandSocket() {
        std::string pattern = (fs::temp_directory_path() / "kvr-wl-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (folder_ / "wayland-7").string();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 1);
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    ~WaylandSocket() {
        close(fd_);
        fs::remove_all(folder_);
        unsetenv("XDG_RUNTIME_DIR");
    }

private:
    fs::path folder_;
    int fd_ = -1;
};

TEST(DisplayCheck, X11DisplaysAreOpenedAndAnUnreachableOneIsNamed) {
    test::XServer server(test::XServer::Options{320, 240, 24, false});
    EXPECT_EQ(unreachableDisplay({{"DISPLAY", server.display()}}, ""), std::nullopt);
    const std::string unused = unusedDisplay();
    EXPECT_EQ(unreachableDisplay({{"DISPLAY", unused}}, ""),
              "cannot connect to X display " + unused);
    EXPECT_EQ(unreachableDisplay({{"DISPLAY", unused}}, "xcb"),
              "cannot connect to X display " + unused);
    EXPECT_EQ(unreachableDisplay({}, ""), "cannot connect to X display (DISPLAY is not set)");
    // Other platforms of the toolkit report for themselves.
    EXPECT_EQ(unreachableDisplay({{"DISPLAY", unused}}, "offscreen"), std::nullopt);
}

TEST(DisplayCheck, WaylandSessionsNeedNoXDisplay) {
    WaylandSocket compositor;
    const std::string unused = unusedDisplay();
    EXPECT_EQ(
        unreachableDisplay({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-7"}}, ""),
        std::nullopt);
    EXPECT_EQ(unreachableDisplay({{"WAYLAND_DISPLAY", "wayland-7"}}, ""), std::nullopt);
    EXPECT_EQ(
        unreachableDisplay({{"WAYLAND_DISPLAY", "wayland-7"}, {"DISPLAY", unused}}, "wayland"),
        std::nullopt);
    // Asked for X11 in a Wayland session: the X display is what counts.
    EXPECT_EQ(unreachableDisplay({{"XDG_SESSION_TYPE", "wayland"},
                                  {"WAYLAND_DISPLAY", "wayland-7"},
                                  {"DISPLAY", unused}},
                                 "xcb"),
              "cannot connect to X display " + unused);
    // A compositor that is gone: named, unless the toolkit can fall back to a working X11.
    EXPECT_EQ(
        unreachableDisplay({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-8"}}, ""),
        "cannot connect to Wayland display wayland-8");
    EXPECT_EQ(
        unreachableDisplay({{"WAYLAND_DISPLAY", "wayland-8"}, {"DISPLAY", unused}}, "wayland"),
        "cannot connect to Wayland display wayland-8");
    test::XServer server(test::XServer::Options{320, 240, 24, false});
    EXPECT_EQ(unreachableDisplay({{"XDG_SESSION_TYPE", "wayland"},
                                  {"WAYLAND_DISPLAY", "wayland-8"},
                                  {"DISPLAY", server.display()}},
                                 ""),
              std::nullopt);
}

}  // namespace
}  // namespace kvr::platform
