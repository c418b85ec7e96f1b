#include "updown.h"

#include <QToolButton>
#include <algorithm>

#include "base/texts.h"
#include "translate.h"

namespace kvr {

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setObjectName(QStringLiteral("UpDownUp"));
    down_->setObjectName(QStringLiteral("UpDownDown"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(translated(text::kIncrease));
    down_->setAccessibleName(translated(text::kDecrease));
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(true); });
    connect(down_, &QToolButton::clicked, this, [this] { step(false); });
}

void UpDown::setMinimum(int minimum) {
    minimum_ = minimum;
    maximum_ = std::max(maximum_, minimum_);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void UpDown::setMaximum(int maximum) {
    maximum_ = maximum;
    minimum_ = std::min(minimum_, maximum_);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void UpDown::setPosition(int position) {
    lastSet_ = position;
    position_ = std::clamp(position, minimum_, maximum_);
}

void UpDown::step(bool up) {
    position_ = std::clamp(position_ + (up ? 1 : -1), minimum_, maximum_);
    if (position_ == lastSet_)
        return;
    lastSet_ = position_;
    emit positionChanged(position_);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace kvr
