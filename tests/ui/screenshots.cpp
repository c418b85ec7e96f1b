// `make screenshots`: the main window (and, through the dialogs' hook, the options dialog and the
// About box) as the user sees them, on a private 96 dpi X server with a window manager.
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app.h"
#include "core/naming.h"
#include "core/settings.h"
#include "errorbox.h"
#include "main.h"
#include "screenshots.h"
#include "xserver.h"

namespace {

// The window as it is on the screen (from the X server, not rendered off-screen).
bool saveWindow(QWidget& window, const QString& path) {
    QTest::qWait(300);
    const QRect frame = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return picture.save(path);
}

// The "エラー" box with the 100-name message: its picture is taken from inside its modal loop.
bool saveErrorBox(const QString& path) {
    bool saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            poll.stop();
            saved = QTest::qWaitForWindowExposed(box) && saveWindow(*box, path);
            box->accept();
            return;
        }
    });
    poll.start(20);
    kvr::showErrorBox(QString::fromUtf8(kvr::kNoFreeNameMessage).replace("\r\n", "\n"));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    kvr::test::XServer server;
    server.exportDisplay();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    char tmpl[] = "/tmp/kvr-screenshots-XXXXXX";
    const std::filesystem::path home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    kvr::setSettingsFilePathForTesting((home / "kvr.ini").string());
    int rc = 0;
    {
        kvr::KvrApplication app(argc, argv);
        QDir().mkpath(folder);
        TForm1 form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form) || !saveWindow(form, folder + "/main.png")) {
            std::fprintf(stderr, "could not take the main window's picture\n");
            rc = 1;
        } else {
            std::printf("%s/main.png (logical dpi %d)\n", qPrintable(folder), form.logicalDpiY());
            if (!saveErrorBox(folder + "/error_box.png")) {
                std::fprintf(stderr, "could not take the error box's picture\n");
                rc = 1;
            }
            saveDialogScreenshots(form, folder);
        }
    }
    std::filesystem::remove_all(home);
    return rc;
}
