// Makes the About box's pictures: resources/logo.bmp (the product name as a 130 x 30 logo, 24 bits
// per pixel; its bottom-left colour is the one the box shows through) and resources/maker.jpg (the
// maker's 60 x 30 mark), each also drawn at 1.5x and 2x (logo@2x.bmp, ...) for 144 and 192 dpi.
// Usage: kvr_about_pictures <resources folder>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <utility>

#include "picture_tool.h"

namespace {

// The logo's see-through colour: the silver of the metal, so soft text edges blend into it.
const QColor kKey(192, 192, 192);

QPainterPath textPath(const QString& text, const QFont& font, const QRectF& box) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF r = path.boundingRect();
    path.translate(box.center() - r.center());
    return path;
}

// scale: device pixels per layout pixel; drawn, not resized, so edges stay sharp.
QImage logo(double scale) {
    QImage image(int(130 * scale), int(30 * scale), QImage::Format_RGB888);
    image.fill(kKey);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(25);
    font.setBold(true);
    font.setItalic(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    const QPainterPath path = textPath(QStringLiteral("Kelvoro"), font, QRectF(2, 1, 126, 27));
    // A dark drop shadow, then the letters in a deep-blue to sky-blue sheen.
    p.fillPath(path.translated(1.5, 1.5), QColor(40, 40, 56));
    QLinearGradient sheen(0, 3, 0, 27);
    sheen.setColorAt(0.0, QColor(150, 205, 255));
    sheen.setColorAt(0.5, QColor(30, 90, 200));
    sheen.setColorAt(1.0, QColor(10, 40, 120));
    p.fillPath(path, sheen);
    p.setPen(QPen(QColor(8, 24, 72), 0.8));
    p.drawPath(path);
    p.end();
    // Keep the corner the box keys on exactly the key colour.
    image.setPixelColor(0, image.height() - 1, kKey);
    return image;
}

QImage makerMark(double scale) {
    QImage image(int(60 * scale), int(30 * scale), QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient plate(0, 0, 0, 30);
    plate.setColorAt(0.0, QColor(70, 74, 86));
    plate.setColorAt(1.0, QColor(28, 30, 38));
    p.fillRect(QRectF(0, 0, 60, 30), plate);
    // A lens-like ring on the left, the project's initials on the right.
    QRadialGradient lens(QPointF(14, 13), 11);
    lens.setColorAt(0.0, QColor(255, 230, 150));
    lens.setColorAt(0.6, QColor(235, 140, 30));
    lens.setColorAt(1.0, QColor(150, 60, 10));
    p.setBrush(lens);
    p.setPen(QPen(QColor(250, 250, 250), 1.5));
    p.drawEllipse(QPointF(15, 15), 10, 10);
    p.setBrush(QColor(30, 30, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(15, 15), 4, 4);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.fillPath(textPath(QStringLiteral("KP"), font, QRectF(27, 2, 31, 26)), QColor(240, 240, 240));
    p.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    return runPictureTool(argc, argv, [](const QString& folder) {
        for (const auto& [scale, tag] : {std::pair{1.0, ""}, {1.5, "@1.5x"}, {2.0, "@2x"}}) {
            const QString suffix = QLatin1String(tag);
            if (!logo(scale).save(folder + "/logo" + suffix + ".bmp", "BMP") ||
                !makerMark(scale).save(folder + "/maker" + suffix + ".jpg", "JPEG", 90))
                return false;
        }
        return true;
    });
}
