#pragma once
// The application object: its title (the taskbar text of the main window) and the top-level
// handler that shows every error that ends an event handler.
#include <QApplication>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>

namespace kvr {

class KvrApplication : public QApplication {
    Q_OBJECT
public:
    KvrApplication(int& argc, char** argv);

    // The application title. The title window (the main window) carries it as its window title,
    // so it is what the taskbar shows, and it is the caption of the top-level error box.
    static void setTitle(const QString& title);
    static QString title();
    static void setTitleWindow(QWidget* window);

    // Catches what escapes any event handler, the timers and the loop, shows it, and goes on.
    bool notify(QObject* receiver, QEvent* event) override;

    // The top-level handler itself: a stop box captioned with the title at this moment.
    static void showException(std::exception_ptr error);

private:
    static QString title_;
    static QPointer<QWidget> titleWindow_;
};

// Runs one event handler. An error it raises goes to the top-level handler here instead of
// unwinding through the toolkit's own frames (which are not built to be unwound).
void runHandler(const std::function<void()>& handler);

// SIGTERM and SIGHUP (the session ending, a plain kill) run handler from the event loop, where
// the program can still write its settings, instead of ending it on the spot.
void onEndSignals(QObject* context, const std::function<void()>& handler);

// The program prints nothing: the toolkit's own debug, info and warning output (such as a
// missing URL handler) is dropped. Fatal messages keep their default handling and end the program.
void installQuietMessageHandler();

// Japanese font names of the layouts map to the installed Gothic fonts.
void installFontSubstitutes();

}  // namespace kvr
