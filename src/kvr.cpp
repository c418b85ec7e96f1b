// Program entry. Until the main window exists this is a bare window titled "Kelvoro".
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QWidget window;
    window.setWindowTitle("Kelvoro");
    window.resize(242, 143);
    window.show();
    return app.exec();
}
