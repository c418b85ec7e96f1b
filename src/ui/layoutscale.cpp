#include "layoutscale.h"

#include <QFontInfo>
#include <QLabel>
#include <QWidget>
#include <cmath>

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

}  // namespace

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
