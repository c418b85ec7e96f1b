#include "dialog_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void centreOnPrimaryScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    QRect frame(QPoint(), window.size());
    frame.moveCenter(area.center());
    window.move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

void centreOver(QWidget& dialog, const QWidget& owner) {
    const QRect o = owner.frameGeometry();
    const int left = o.x() + (o.width() - dialog.width()) / 2;
    const int top = o.y() + (o.height() - dialog.height()) / 2;
    dialog.move(std::max(0, left), std::max(0, top));
}
