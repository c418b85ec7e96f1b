#include "dialog_place.h"

#include <QWidget>
#include <algorithm>

void centreOver(QWidget& dialog, const QWidget& owner) {
    const QRect o = owner.frameGeometry();
    const int left = o.x() + (o.width() - dialog.width()) / 2;
    const int top = o.y() + (o.height() - dialog.height()) / 2;
    dialog.move(std::max(0, left), std::max(0, top));
}
