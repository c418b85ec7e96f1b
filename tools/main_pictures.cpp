// Makes the main window's pictures: resources/background.jpg (238 x 139 grey brushed metal, and
// background@1.5x.jpg and background@2x.jpg drawn at those pixel densities for 144 and 192 dpi)
// and resources/icon.png (32 x 32, 16 colours). Deterministic, so running it again gives the
// same files. Usage: kvr_main_pictures <resources folder>
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "picture_tool.h"

namespace {

// A fixed-seed generator keeps the pictures identical from run to run.
class Noise {
public:
    double next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state_ >> 11) / double(1ULL << 53) * 2.0 - 1.0;
    }

private:
    uint64_t state_ = 0x4b656c766f726fULL;
};

// scale: device pixels per layout pixel; the streaks keep their length on screen.
QImage brushedMetal(int width, int height, double scale) {
    Noise noise;
    width = int(std::lround(width * scale));
    height = int(std::lround(height * scale));
    // Streaks: noise smeared along x, wrapping so the texture has no seam at the edges.
    const int kSmear = int(std::lround(31 * scale)) | 1;
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<double> row(width);
    for (int y = 0; y < height; ++y) {
        for (double& v : row)
            v = noise.next();
        const double rowShade = noise.next() * 6.0;
        for (int x = 0; x < width; ++x) {
            double sum = 0;
            for (int k = -kSmear / 2; k <= kSmear / 2; ++k)
                sum += row[(x + k + width) % width];
            const double streak = sum / kSmear * 40.0;
            const double grain = noise.next() * 3.0;
            // A soft light band across the upper third, as on a lit metal plate.
            const double light =
                14.0 * std::exp(-std::pow((y - height * 0.3) / (height * 0.45), 2));
            const int v = std::clamp(int(168 + rowShade + streak + grain + light), 0, 255);
            image.setPixel(x, y, qRgb(v, v, std::min(255, v + 4)));
        }
    }
    return image;
}

QImage icon() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Camera body, lens and shutter button.
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(2, 9, 27, 18);
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(5, 6, 8, 3);
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(22, 6, 4, 3);
    p.setBrush(QColor(0, 0, 0));
    p.drawEllipse(9, 11, 14, 14);
    p.setBrush(QColor(0, 0, 255));
    p.drawEllipse(12, 14, 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(14, 16, 2, 2);
    p.end();
    // The standard 16-colour palette plus transparency for the corners.
    const QList<QRgb> palette = {
        qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),
        qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128),
        qRgb(128, 128, 128), qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),
        qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(255, 255, 255)};
    return image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

}  // namespace

int main(int argc, char** argv) {
    return runPictureTool(argc, argv, [](const QString& folder) {
        return brushedMetal(238, 139, 1.0).save(folder + "/background.jpg", "JPG", 90) &&
               brushedMetal(238, 139, 1.5).save(folder + "/background@1.5x.jpg", "JPG", 90) &&
               brushedMetal(238, 139, 2.0).save(folder + "/background@2x.jpg", "JPG", 90) &&
               icon().save(folder + "/icon.png", "PNG");
    });
}
