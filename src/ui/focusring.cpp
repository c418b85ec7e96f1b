#include "focusring.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <algorithm>

namespace kvr {
namespace {

const QColor kRing(0, 0, 160);

// Two pixels at 96 dpi, more where the layout is scaled up: thin rings vanish on the metal.
int thickness(const QWidget& w) {
    return std::max(2, (2 * w.logicalDpiY() + 48) / 96);
}

}  // namespace

FocusRing::FocusRing(QWidget& window) : QWidget(&window), window_(window) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
    // A window that becomes active gives the focus back to its focus widget; that is not always
    // told as a focus change.
    window_.installEventFilter(this);
    follow(QApplication::focusWidget());
}

void FocusRing::follow(QWidget* focused) {
    if (target_)
        target_->removeEventFilter(this);
    target_ = (focused && focused != &window_ && focused->window() == &window_) ? focused : nullptr;
    if (!target_) {
        hide();
        return;
    }
    // Moves and size changes of the control carry the ring along.
    target_->installEventFilter(this);
    place();
}

void FocusRing::place() {
    if (!target_ || !target_->isVisible()) {
        hide();
        return;
    }
    const QRect r(target_->mapTo(&window_, QPoint(0, 0)), target_->size());
    // The ring lies just outside the control, so it hides none of it.
    const int m = thickness(window_);
    setGeometry(r.adjusted(-m, -m, m, m));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::WindowActivate)
            follow(window_.focusWidget());
        else if (event->type() == QEvent::WindowDeactivate)
            follow(nullptr);
    } else if (watched == target_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
                place();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int m = thickness(window_);
    const QRect r = rect();
    p.fillRect(QRect(0, 0, r.width(), m), kRing);
    p.fillRect(QRect(0, r.height() - m, r.width(), m), kRing);
    p.fillRect(QRect(0, 0, m, r.height()), kRing);
    p.fillRect(QRect(r.width() - m, 0, m, r.height()), kRing);
}

}  // namespace kvr
