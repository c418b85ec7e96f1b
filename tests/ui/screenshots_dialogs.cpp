// The options dialog's three pages and the About box, as they open over the main window.
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "dialog_place.h"
#include "main.h"
#include "opt.h"
#include "screenshots.h"
#include "ver.h"

namespace {

// From the X server, frame and title bar included, as the user sees the window.
void saveShown(QWidget& window, const QString& path) {
    QTest::qWait(300);
    const QRect frame = window.frameGeometry();
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.save(path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
}

}  // namespace

void saveDialogScreenshots(TForm1& mainWindow, const QString& folder) {
    {
        TForm2 dialog(mainWindow);
        dialog.loadSettings();
        centreOver(dialog, mainWindow);
        dialog.show();
        if (QTest::qWaitForWindowActive(&dialog)) {
            auto* pages = dialog.findChild<QTabWidget*>("PageControl1");
            const char* const names[] = {"opt_output.png", "opt_jpeg.png", "opt_filename.png"};
            for (int page = 0; page < 3; ++page) {
                pages->setCurrentIndex(page);
                saveShown(dialog, folder + "/" + names[page]);
            }
        } else {
            std::fprintf(stderr, "the options dialog did not show\n");
        }
    }
    TAboutBox box(mainWindow);
    centreOver(box, mainWindow);
    box.show();
    if (QTest::qWaitForWindowExposed(&box))
        saveShown(box, folder + "/about.png");
    else
        std::fprintf(stderr, "the About box did not show\n");
}
