#include "app.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAccessible>
#include <QFont>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>

#include "access.h"
#include "base/texts.h"
#include "errorbox.h"
#include "translate.h"

namespace kvr {

QString KvrApplication::title_ = QString::fromUtf8(text::kTitle);
QPointer<QWidget> KvrApplication::titleWindow_;

KvrApplication::KvrApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Qt would append " — <display name>" to every window title on X11; the taskbar must read
    // exactly "3秒前", "撮影中" or "Kelvoro", so no display name is set.
    installFontSubstitutes();
    installAccessibleRoles();
}

namespace {

// While a title is set: the window whose own name changes Qt may report (newer Qt does, older
// does not), and the handler that was there before. Those reports are held back; every other
// event goes on as it would have.
QObject* titleChanging = nullptr;
QAccessible::UpdateHandler outerHandler = nullptr;

void holdTitleChange(QAccessibleEvent* event) {
    if (event->type() == QAccessible::NameChanged && event->object() == titleChanging)
        return;
    QAccessible::installUpdateHandler(outerHandler);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(holdTitleChange);
}

}  // namespace

void KvrApplication::setTitle(const QString& title) {
    title_ = title;
    if (titleWindow_) {
        titleChanging = titleWindow_.data();
        outerHandler = QAccessible::installUpdateHandler(holdTitleChange);
        titleWindow_->setWindowTitle(title);
        // Some taskbars show the icon name of a minimised window instead of its title.
        titleWindow_->setWindowIconText(title);
        QAccessible::installUpdateHandler(outerHandler);
        titleChanging = nullptr;
        // Exactly one report of the new title, whether Qt sends one itself or not: a screen
        // reader (and the countdown on a taskbar that reads the accessibility tree) reads each
        // second once.
        QAccessibleEvent changed(titleWindow_.data(), QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

QString KvrApplication::title() {
    return title_;
}

void KvrApplication::setTitleWindow(QWidget* window) {
    titleWindow_ = window;
    setTitle(title_);
}

bool KvrApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showException(std::current_exception());
        return true;
    }
}

void KvrApplication::showException(std::exception_ptr error) {
    showStopBox(title_, errorMessage(error));
}

void runHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        KvrApplication::showException(std::current_exception());
    }
}

namespace {

// The signal handler may only write: one byte down a pipe the event loop watches.
int endSignalPipe[2] = {-1, -1};

void endSignalHandler(int) {
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(endSignalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void onEndSignals(QObject* context, const std::function<void()>& handler) {
    if (endSignalPipe[0] < 0 && pipe2(endSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // without a pipe the signals keep their default: the program ends unsaved
    auto* notifier = new QSocketNotifier(endSignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler] {
        char bytes[16];
        while (read(endSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        handler();
    });
    struct sigaction action = {};
    action.sa_handler = endSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

namespace {

QtMessageHandler defaultMessageHandler = nullptr;

void quietMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && defaultMessageHandler)
        defaultMessageHandler(type, context, text);
}

}  // namespace

void installQuietMessageHandler() {
    QtMessageHandler previous = qInstallMessageHandler(quietMessageHandler);
    if (previous != quietMessageHandler)
        defaultMessageHandler = previous;
}

void installFontSubstitutes() {
    // The layouts name the classic Japanese Gothic faces; these are the installed equivalents,
    // best first (IPA from the deps script, Noto CJK where a desktop has it instead).
    const QStringList proportional = {QStringLiteral("IPAPGothic"),
                                      QStringLiteral("Noto Sans CJK JP"),
                                      QStringLiteral("IPAGothic")};
    const QStringList monospaced = {QStringLiteral("IPAGothic"),
                                    QStringLiteral("Noto Sans Mono CJK JP"),
                                    QStringLiteral("IPAPGothic")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), proportional);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), monospaced);
}

}  // namespace kvr
