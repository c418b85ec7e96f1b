#pragma once
// The shot on the clipboard: the picture as image/png and image/webp (each encoded only when
// pasted) and the file as text/uri-list (a file manager pastes the file), held by this program
// until something else takes the clipboard.
#include <QImage>
#include <QString>

#include "base/picture.h"

class QWidget;

namespace kvr {

// The picture as 8-bit RGB (ARGB where it has alpha: a window with its shadow), whatever the
// source's format; taken right after the grab, while the source's pixels are still valid.
QImage imageOfPicture(const Picture& picture);

// Puts the shot on the clipboard once window is active again: a Wayland compositor gives the
// clipboard only to the window that has the keyboard. After a while it is put there anyway (an
// X server does not ask).
void copyShotWhenActive(QWidget& window, QImage image, const QString& path);

}  // namespace kvr
