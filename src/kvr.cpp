// Program entry: the application object with the top-level error handler, the title "Kelvoro",
// the main window, and the message loop.
#include <QIcon>

#include "ui/app.h"
#include "ui/main.h"

int main(int argc, char** argv) {
    kvr::installQuietMessageHandler();
    kvr::KvrApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    // Ties the windows to the installed menu entry (taskbar icon; the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kelvoro"));
    kvr::KvrApplication::setTitle(QStringLiteral("Kelvoro"));
    TForm1 Form1;  // FormCreate runs during creation
    Form1.hideTimerCaret();
    Form1.show();
    return app.exec();
}
