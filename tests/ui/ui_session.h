#pragma once
// A private desktop for the program's windows under test: Xvfb with openbox, Qt on xcb without
// its own scaling (the server is 96 dpi), and a temp HOME holding the desktop folder and kvr.ini,
// so nothing touches the developer's own. All of it goes when the session does.
#include <filesystem>
#include <memory>
#include <string>

#include "base/window_manager.h"
#include "file_support.h"
#include "main.h"
#include "platform/x11/x11_screen_source.h"
#include "xserver.h"

namespace kvr::test {

// The X11 window-manager actions of the program, with a switch to act as if none ran.
class SessionWindowManager final : public WindowManager {
public:
    bool assumeNone = false;
    bool honoursMinimise() override { return !assumeNone && real().honoursMinimise(); }
    bool offScreen(WindowId window) override { return real().offScreen(window); }
    void activate(WindowId window) override { real().activate(window); }
    bool active(WindowId window) override { return real().active(window); }
    bool restoresMinimised() override { return real().restoresMinimised(); }
    void flush() override { real().flush(); }
    void rememberPlace(WindowId window) override { real().rememberPlace(window); }
    bool restorePlace(WindowId window) override { return real().restorePlace(window); }

private:
    WindowManager& real();  // made once the application object exists
    std::unique_ptr<WindowManager> real_;
};

class UiSession {
public:
    explicit UiSession(XServer::Options screen = {});
    ~UiSession();
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

    // What the program's entry hands the main window, on this session (kvr.ini in HOME).
    MainWindowServices services(std::string settingsPath = {});
    SessionWindowManager& windowManager() { return windowManager_; }
    const std::string& settingsPath() const { return settingsPath_; }

    static UiSession& current();

private:
    XServer server_;
    TempDir home_{"kvr-ui"};
    std::string settingsPath_;
    x11::X11ScreenSource source_;
    SessionWindowManager windowManager_;
};

// The running session's services, for `TForm1 form(services());`.
inline MainWindowServices services() {
    return UiSession::current().services();
}

}  // namespace kvr::test
