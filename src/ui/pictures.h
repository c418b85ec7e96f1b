#pragma once
// The windows' pictures at the screen's real pixel density. Each picture is kept at 1x and at
// 1.5x and 2x under Qt's high-DPI names ("background@2x.jpg"); the one closest above the pixels
// the label really covers is taken and brought to that exact size, so nothing is ever blown up
// from a small bitmap at 144 or 192 dpi.
#include <QImage>
#include <QString>

class QLabel;

namespace kvr {

// The picture for a scale (layout scale x device pixel ratio): path, path's @1.5x or @2x.
QString pictureVariant(const QString& path, double scale);

// Loads path for label: filling the label when it scales its contents, else at the picture's
// own size times the layout scale. The pixmap carries the device pixel ratio.
void setSharpPicture(QLabel& label, const QString& path);

}  // namespace kvr
