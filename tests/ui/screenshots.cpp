// `make screenshots`: the main window (and, through the dialogs' hook, the options dialog and the
// About box) as the user sees them, on a private X server with a window manager, at 96 dpi or
// at the dpi given (the toolkit scales as it does for the program: by Xft.dpi).
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app.h"
#include "base/texts.h"
#include "errorbox.h"
#include "layoutscale.h"
#include "main.h"
#include "screenshots.h"
#include "translate.h"
#include "ui_session.h"

bool saveShown(QWidget& window, const QString& path) {
    QTest::qWait(300);
    const QRect frame = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return picture.save(path);
}

namespace {

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
            saved = QTest::qWaitForWindowExposed(box) && saveShown(*box, path);
            box->accept();
            return;
        }
    });
    poll.start(20);
    kvr::showErrorBox(
        kvr::fillTranslated(kvr::text::kNoFreeName, {QStringLiteral("/home/user/Desktop")})
            .replace("\r\n", "\n"));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> [dpi]\n", argv[0]);
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    kvr::test::XServer::Options screen;
    if (argc == 3)
        screen.dpi = std::atoi(argv[2]);
    if (screen.dpi < 48 || screen.dpi > 480) {
        std::fprintf(stderr, "%s: dpi must be 48 to 480\n", argv[0]);
        return 2;
    }
    // A larger screen for the larger windows.
    screen.width = 1024 * screen.dpi / 96;
    screen.height = 768 * screen.dpi / 96;
    kvr::test::UiSession session(screen);
    // As the program runs: the toolkit's own scaling from the desktop's dpi.
    setenv("QT_ENABLE_HIGHDPI_SCALING", "1", 1);
    int rc = 0;
    {
        kvr::KvrApplication app(argc, argv);
        QDir().mkpath(folder);
        TForm1 form{kvr::test::services()};
        form.show();
        if (!QTest::qWaitForWindowExposed(&form) || !saveShown(form, folder + "/main.png")) {
            std::fprintf(stderr, "could not take the main window's picture\n");
            rc = 1;
        } else {
            std::printf("%s/main.png (%d dpi: device pixel ratio %.2g, layout scale %.2g)\n",
                        qPrintable(folder), screen.dpi, form.devicePixelRatioF(),
                        kvr::layoutScale());
            if (!saveErrorBox(folder + "/error_box.png")) {
                std::fprintf(stderr, "could not take the error box's picture\n");
                rc = 1;
            }
            saveDialogScreenshots(form, folder);
        }
    }
    return rc;
}
