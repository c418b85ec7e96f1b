#pragma once
// One headless session for all the tests of a suite (a session takes seconds to come up), and
// what several suites ask of one: KWin's leave to take pixels, the portal's stored answer, the
// pictures left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "wayland_session.h"

namespace kvr::test {

// The suite's session: started by the suite's SetUpTestSuite through startSession(), ended
// after its last test.
class SessionSuite : public ::testing::Test {
protected:
    // The compositor with `outputs` outputs, the pattern window on screen.
    static void startSession(Compositor compositor, int outputs = 1) {
        session_ = WaylandSession::start(compositor, outputs).release();
        session_->showPattern();
    }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }
    static inline WaylandSession* session_ = nullptr;
};

// What KWin asks of a program before it hands out pixels: an installed desktop entry (file name
// `entryName`) whose Exec= is the program's real path and which names the interface.
inline void authoriseForKWin(WaylandSession& session, const std::string& program,
                             const std::string& entryName) {
    const std::string entry =
        "[Desktop Entry]\nType=Application\nName=Kelvoro\nExec=" + program +
        "\nNoDisplay=true\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"
        "X-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n";
    const ProcessResult r =
        session.run({"sh", "-c", "mkdir -p \"$1\" && printf '%s' \"$2\" > \"$1/$3\"", "sh",
                     session.home() + "/.local/share/applications", entry, entryName});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// Why this KWin hands out no pixels at all, or "". Its screenshot service is an effect, and
// KWin loads its effects only when it composites with OpenGL: KWin 6 without a GPU draws with
// QPainter and has no ScreenShot2 object (KWin 5 composites with software OpenGL). The tests
// of KWin's pixels skip with this reason.
inline std::string kwinCaptureMissing(WaylandSession& session) {
    const auto ask = [&](std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"gdbus", "call", "--session", "--dest", "org.kde.KWin"});
        return session.run(argv, std::chrono::seconds(20));
    };
    // Effects load a moment after KWin's socket answers.
    for (int i = 0; i < 20; ++i) {
        const ProcessResult r = ask({"--object-path", "/org/kde/KWin/ScreenShot2", "--method",
                                     "org.freedesktop.DBus.Introspectable.Introspect"});
        if (r.out.find("org.kde.KWin.ScreenShot2") != std::string::npos)
            return "";
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const ProcessResult type =
        ask({"--object-path", "/Compositor", "--method", "org.freedesktop.DBus.Properties.Get",
             "org.kde.kwin.Compositing", "compositingType"});
    if (type.exitCode == 0 && (type.out.find("'gl") != std::string::npos))
        return "";  // an OpenGL compositor without the object: the tests say what fails
    return "KWin composites without OpenGL here (" + type.out.substr(0, type.out.find('\n')) +
           "; no GPU): it offers no org.kde.KWin.ScreenShot2";
}

// A call of the portals' permission store's `method`, its arguments to follow.
inline std::vector<std::string> permissionStoreCall(const char* method) {
    return {"gdbus",
            "call",
            "--session",
            "--dest",
            "org.freedesktop.impl.portal.PermissionStore",
            "--object-path",
            "/org/freedesktop/impl/portal/PermissionStore",
            "--method",
            std::string("org.freedesktop.impl.portal.PermissionStore.") + method};
}

// The answer to "Allow Applications to Take Screenshots?" that the permission store keeps for
// programs outside a sandbox: "yes", "no", or none (GNOME asks).
inline void setScreenshotPermission(WaylandSession& session, const char* answer) {
    std::vector<std::string> argv =
        permissionStoreCall(answer ? "SetPermission" : "DeletePermission");
    if (answer) {
        argv.insert(argv.end(),
                    {"screenshot", "true", "screenshot", "", std::string("['") + answer + "']"});
    } else {
        argv.insert(argv.end(), {"screenshot", "screenshot", ""});
    }
    const ProcessResult r = session.run(argv, std::chrono::seconds(20));
    // Deleting what is not there fails, and is what was wanted.
    if (answer) {
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
}

// The stored answer ("yes", "no"), or "" when none is stored.
inline std::string screenshotPermission(WaylandSession& session) {
    std::vector<std::string> argv = permissionStoreCall("Lookup");
    argv.insert(argv.end(), {"screenshot", "screenshot"});
    const ProcessResult r = session.run(argv, std::chrono::seconds(20));
    // "({'': ['yes']}, <byte 0x00>)"
    const auto at = r.out.find("'': ['");
    if (r.exitCode != 0 || at == std::string::npos)
        return {};
    const auto from = at + 6;
    return r.out.substr(from, r.out.find('\'', from) - from);
}

// Files of the session's user ending in one of `extensions` where screenshot tools and portals
// leave their pictures.
inline std::set<std::string> picturesLeft(const WaylandSession& session,
                                          std::initializer_list<std::string_view> extensions) {
    std::set<std::string> files;
    for (const std::string& dir :
         {session.home() + "/Pictures", session.home(), std::string("/tmp")}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
            const std::string ext = e.path().extension().string();
            bool wanted = false;
            for (std::string_view x : extensions)
                wanted = wanted || ext == x;
            struct stat st {};
            if (wanted && lstat(e.path().c_str(), &st) == 0 && st.st_uid == session.uid())
                files.insert(e.path().string());
        }
    }
    return files;
}

}  // namespace kvr::test
