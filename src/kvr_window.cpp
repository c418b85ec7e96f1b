// The window's entry, in the module kvr-window that kvr loads when it is started without shot
// options: makes the pieces and wires them. The session decides the source of pixels and the
// window-manager actions; the application object carries the top-level error handler.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define KVR_LEAK_CHECKED 1
#endif
#endif
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "base/region_select.h"
#include "core/settings.h"
#include "platform/display_check.h"
#include "platform/loader.h"
#include "platform/session.h"
#include "ui/app.h"
#include "ui/main.h"
#include "ui/region_select.h"
#include "ui/translate.h"

extern "C" __attribute__((visibility("default"))) int kvr_window_main(int argc, char** argv) {
    namespace platform = kvr::platform;
    const platform::Environment env = platform::processEnvironment();
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    if (const auto problem = platform::unreachableDisplay(env, qpa ? qpa : "")) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    kvr::installQuietMessageHandler();
    // The desktop's own folder chooser (the portal's) where the session offers one: Qt's portal
    // theme keeps the usual look otherwise, and its own chooser where no portal answers.
    setenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal", 0);
    kvr::KvrApplication app(argc, argv);
    // Before the first window: the layouts are translated as they are made.
    kvr::installTranslation(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    // Ties the windows to the installed menu entry (taskbar icon; the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kelvoro"));

    const auto source = platform::makeScreenSource(platform::chooseSourceKind(env));
    platform::ToolkitHooks toolkit;
    if (auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>())
        toolkit.x11Display = x11->display();
    toolkit.wayland.minimised = [](kvr::WindowManager::WindowId id) {
        const QWidget* window = QWidget::find(WId(id));
        return window && window->isMinimized();
    };
    toolkit.wayland.sync = [] { QGuiApplication::sync(); };
    const auto windowManager = platform::makeWindowManager(platform::detectSession(env), toolkit);

    const platform::SourceKind kind = platform::chooseSourceKind(env);
    const auto makeBadge = [kind](const kvr::ShotRequest& request) {
        return platform::makeCountdownBadge(kind, request);
    };
    TForm1 Form1(
        {*source, *windowManager, kvr::settingsFilePath(), makeBadge});  // FormCreate runs here
    Form1.show();
    return app.exec();
}

// The command line's way in for -r: the selection over the picture it took, with the toolkit
// started here (kvr itself has none).
extern "C" __attribute__((visibility("default"))) int kvr_select_region(
    int argc, char** argv, const kvr::RegionSelectInput& input, kvr::ScreenRect& chosen) {
    static_assert(std::is_same_v<decltype(&kvr_select_region), kvr::RegionSelectEntry>);
    kvr::installQuietMessageHandler();
    // The D-Bus sources (KWin, the portal) made a plain application object for the grab; windows
    // need the full one, and a second beside it never shows them.
    if (QCoreApplication::instance() && !qobject_cast<QApplication*>(QCoreApplication::instance()))
        delete QCoreApplication::instance();
#ifdef KVR_LEAK_CHECKED
    // Qt's Wayland client (6.4) leaves the proxies of its globals behind when its application
    // goes: Qt's, not ours to free, so the leak check looks past what the selection allocates.
    struct Pause {
        bool on = std::getenv("WAYLAND_DISPLAY") != nullptr;
        Pause() {
            if (on)
                __lsan_disable();
        }
        ~Pause() {
            if (on)
                __lsan_enable();
        }
    } pause;
#endif
    static int count = argc;
    QApplication app(count, argv);
    kvr::installTranslation(app);
    kvr::ScreenSource* source = input.source;
    const auto region = kvr::selectRegion(*input.picture, *input.monitors, *input.frames, [source] {
        return source ? source->pointerInPicture() : std::nullopt;
    });
    if (!region)
        return int(kvr::RegionSelectResult::Cancelled);
    chosen = *region;
    return int(kvr::RegionSelectResult::Accepted);
}
