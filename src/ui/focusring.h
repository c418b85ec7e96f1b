#pragma once
// A ring drawn around the control that has the keyboard focus. The toolkit's own hint on these
// flat controls is a faint dotted line; this one is a solid band in the windows' own dark blue,
// drawn on top of the window so no control's look changes.
#include <QPointer>
#include <QWidget>

namespace kvr {

class FocusRing : public QWidget {
    Q_OBJECT
public:
    // A child of window, following the focus among window's controls.
    explicit FocusRing(QWidget& window);

    // The control it is drawn around, or null while none of the window's controls has focus.
    QWidget* target() const { return target_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focused);
    void place();

    QWidget& window_;
    QPointer<QWidget> target_;
};

}  // namespace kvr
