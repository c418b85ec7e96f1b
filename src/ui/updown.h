#pragma once
// A pair of up/down arrows with their own position, not attached to any box: the owner decides
// what a change means. The position stays within minimum..maximum and does not wrap.
#include <QWidget>

class QToolButton;

namespace kvr {

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)
public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    // A value outside the range is kept as "last set" but the arrows hold the nearer end, so the
    // next click reports the arrows' own position.
    void setPosition(int position);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // One click on an arrow, as the buttons do it.
    void step(bool up);

signals:
    // After a click that leaves the position different from the one last set or reported.
    void positionChanged(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int lastSet_ = 0;
};

}  // namespace kvr
