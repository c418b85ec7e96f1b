// The options dialog's pages and the About box, as they open over the main window.
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <iterator>

#include "dialog_place.h"
#include "main.h"
#include "opt.h"
#include "screenshots.h"
#include "ver.h"

namespace {

void save(QWidget& window, const QString& path) {
    if (saveShown(window, path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
}

}  // namespace

void saveDialogScreenshots(TForm1& mainWindow, const QString& folder) {
    {
        TForm2 dialog(mainWindow, mainWindow.optionsTarget());
        dialog.loadSettings();
        centreOver(dialog, mainWindow);
        dialog.show();
        if (QTest::qWaitForWindowActive(&dialog)) {
            auto* pages = dialog.findChild<QTabWidget*>("PageControl1");
            const char* const names[] = {"opt_output.png", "opt_jpeg.png", "opt_filename.png",
                                         "opt_format.png", "opt_capture.png"};
            for (int page = 0; page < int(std::size(names)); ++page) {
                pages->setCurrentIndex(page);
                save(dialog, folder + "/" + names[page]);
            }
        } else {
            std::fprintf(stderr, "the options dialog did not show\n");
        }
    }
    TAboutBox box(mainWindow);
    centreOver(box, mainWindow);
    box.show();
    if (QTest::qWaitForWindowExposed(&box))
        save(box, folder + "/about.png");
    else
        std::fprintf(stderr, "the About box did not show\n");
}
