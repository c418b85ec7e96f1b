#include "ui_session.h"

#include <QGuiApplication>
#include <cstdlib>
#include <string>

#include "platform/loader.h"

namespace kvr::test {
namespace {
UiSession* running = nullptr;
}

WindowManager& SessionWindowManager::real() {
    if (!real_) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        real_ = platform::makeWindowManager(platform::Session::X11,
                                            {x11 ? x11->display() : nullptr, {}});
    }
    return *real_;
}

UiSession::UiSession(XServer::Options screen) : server_(screen) {
    server_.exportDisplay();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    setenv("HOME", home_.path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    // The texts as written (Japanese), whatever the developer's locale; a test that wants
    // another language installs it itself.
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        unsetenv(name);
    // Never the developer's session bus: a shot here must not notify their desktop.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home_ / "no-bus").string()).c_str(), 1);
    settingsPath_ = (home_ / "kvr.ini").string();
    running = this;
}

UiSession::~UiSession() {
    running = nullptr;
}

MainWindowServices UiSession::services(std::string settingsPath) {
    // The badge as the program makes it on X11.
    return {source_, windowManager_, settingsPath.empty() ? settingsPath_ : settingsPath,
            [](const ShotRequest& request) {
                return platform::makeCountdownBadge(platform::SourceKind::X11, request);
            }};
}

UiSession& UiSession::current() {
    return *running;
}

}  // namespace kvr::test
