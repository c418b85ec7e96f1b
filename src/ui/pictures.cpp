#include "pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <cmath>

#include "layoutscale.h"

namespace kvr {

QString pictureVariant(const QString& path, double scale) {
    const QFileInfo info(path);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    const QString suffix = QLatin1Char('.') + info.suffix();
    // The smallest that is not smaller than needed; the largest when all are.
    for (const auto& [factor, tag] : {std::pair{1.0, ""}, {1.5, "@1.5x"}, {2.0, "@2x"}}) {
        const QString candidate = stem + QLatin1String(tag) + suffix;
        if (scale <= factor + 0.01 && QFile::exists(candidate))
            return candidate;
    }
    const QString largest = stem + QLatin1String("@2x") + suffix;
    return QFile::exists(largest) ? largest : path;
}

void setSharpPicture(QLabel& label, const QString& path) {
    const double ratio = label.devicePixelRatioF();
    // The 1x file's size, from its header: only the variant shown is decoded.
    const QSize plain = QImageReader(path).size();
    if (plain.isEmpty())
        return;
    QSize logical =
        label.hasScaledContents() ? label.size() : (QSizeF(plain) * layoutScale()).toSize();
    const QSize device = (QSizeF(logical) * ratio).toSize();
    const double scale = double(device.width()) / plain.width();
    QImage image(pictureVariant(path, scale));
    if (image.isNull())
        image = QImage(path);
    if (image.size() != device)
        image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    label.setPixmap(pixmap);
}

}  // namespace kvr
