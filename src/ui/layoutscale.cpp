#include "layoutscale.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "updown.h"

namespace kvr {
namespace {

constexpr int kDesignTextHeight = 12;

int scaled(int value, double factor) {
    return int(std::lround(value * factor));
}

void applyFont(QWidget& widget, double factor) {
    const QVariant pixels = widget.property("fontPixelSize");
    if (!pixels.isValid())
        return;
    QFont font = widget.font();
    font.setPixelSize(std::max(1, scaled(pixels.toInt(), factor)));
    widget.setFont(font);
}

void applyToChildren(QWidget& parent, double factor) {
    for (QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        applyFont(*child, factor);
        const QRect g = child->geometry();
        child->setGeometry(scaled(g.x(), factor), scaled(g.y(), factor), scaled(g.width(), factor),
                           scaled(g.height(), factor));
        if (child->property("autoSize").toBool()) {
            if (auto* label = qobject_cast<QLabel*>(child))
                label->adjustSize();
        }
        // The arrows lay out their own two buttons.
        if (!qobject_cast<UpDown*>(child))
            applyToChildren(*child, factor);
    }
}

// The smallest text a caption is shrunk to; below it, it is left to clip.
constexpr int kSmallestText = 7;

// A frame drawn under controls (a label is a frame too, but one that shows something).
const QFrame* plainFrame(const QWidget& widget) {
    const auto* frame = qobject_cast<const QFrame*>(&widget);
    return frame && !qobject_cast<const QLabel*>(frame) ? frame : nullptr;
}

// The controls beside the label further along its row.
std::vector<QWidget*> laterOnRow(const QLabel& label) {
    std::vector<QWidget*> row;
    const QRect own = label.geometry();
    if (QWidget* parent = label.parentWidget())
        for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = sibling->geometry();
            if (!sibling->isHidden() && !plainFrame(*sibling) && g.left() > own.left() &&
                g.top() <= own.bottom() && g.bottom() >= own.top())
                row.push_back(sibling);
        }
    return row;
}

// The width a caption may take: a free-standing label may run to the edge of the frame under it,
// or of its parent, and never into the next control on its row.
int roomFor(const QLabel& label) {
    const QWidget* parent = label.parentWidget();
    if (!parent)
        return label.width();
    int right = parent->contentsRect().right();
    for (const QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QFrame* frame = plainFrame(*sibling);
        if (frame && frame->geometry().contains(label.geometry().topLeft()))
            right = std::min(right, frame->geometry().right() - frame->frameWidth() - 1);
    }
    for (const QWidget* next : laterOnRow(label))
        right = std::min(right, next->x() - 2);
    return right - label.x() + 1;
}

// How wide the control wants to be for its caption.
int captionWidth(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text().isEmpty() || label->wordWrap()
                   ? 0
                   : label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin() +
                         2 * label->frameWidth();
    if (const auto* box = qobject_cast<const QGroupBox*>(&widget))
        return box->fontMetrics().horizontalAdvance(box->title()) + 2 * box->fontMetrics().height();
    if (qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget))
        return widget.sizeHint().width();
    if (const auto* tool = qobject_cast<const QToolButton*>(&widget))
        return tool->text().isEmpty() ? 0 : tool->fontMetrics().horizontalAdvance(tool->text()) + 4;
    return 0;
}

// A caption wider than the room before the next control on its row moves that row's later
// controls right, taking the width from the last of them as far as it can spare it (beyond what
// its own content needs); only what is still missing makes the text smaller.
void makeRoom(QLabel& label) {
    const int need = captionWidth(label) - roomFor(label);
    const std::vector<QWidget*> row = laterOnRow(label);
    if (need <= 0 || row.empty())
        return;
    QWidget* last = *std::max_element(row.begin(), row.end(),
                                      [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    const int shift = std::min(need, last->width() - last->sizeHint().width());
    if (shift <= 0)
        return;
    for (QWidget* w : row)
        w->move(w->x() + shift, w->y());
    last->resize(last->width() - shift, last->height());
}

void shrinkToFit(QWidget& widget) {
    auto* label = qobject_cast<QLabel*>(&widget);
    const bool autoSize = label && widget.property("autoSize").toBool();
    if (autoSize)
        makeRoom(*label);
    const int room = autoSize ? roomFor(*label) : widget.width();
    while (captionWidth(widget) > room) {
        QFont font = widget.font();
        const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
        if (pixels <= kSmallestText)
            break;
        font.setPixelSize(pixels - 1);
        widget.setFont(font);
    }
    if (autoSize)
        label->adjustSize();
}

}  // namespace

void fitCaptions(QWidget& root) {
    for (QWidget* widget : root.findChildren<QWidget*>())
        shrinkToFit(*widget);
}

double layoutScale() {
    QFont font;
    font.setPointSizeF(9.0);  // 12 pixels at 96 dpi
    return double(QFontInfo(font).pixelSize()) / kDesignTextHeight;
}

void applyLayout(QWidget& root, double factor) {
    // The window's own font first: children without their own text size inherit it.
    applyFont(root, factor);
    const QSize size(scaled(root.width(), factor), scaled(root.height(), factor));
    // A window of fixed size stays fixed, at its new size.
    if (root.minimumSize() == root.maximumSize())
        root.setFixedSize(size);
    else
        root.resize(size);
    applyToChildren(root, factor);
}

}  // namespace kvr
