// Makes the application icon for the desktop's icon theme: the camera of the window icon drawn
// afresh at each size, every edge on whole pixels so that 16 px is as crisp as 512 px. Writes
// <folder>/hicolor/<N>x<N>/apps/org.example.kelvoro.png for each size. Deterministic, so running
// it again gives the same files. Usage: kvr_app_icons <resources folder>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "picture_tool.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

// Design units: the camera is laid out on a 32 x 32 grid and every edge is rounded to the pixel
// grid of the size being drawn.
class Grid {
public:
    explicit Grid(int size) : scale_(size / 32.0) {}
    int px(double units) const { return int(std::lround(units * scale_)); }
    QRect rect(double x0, double y0, double x1, double y1) const {
        return QRect(QPoint(px(x0), px(y0)), QPoint(px(x1) - 1, px(y1) - 1));
    }
    // Outline width: one pixel at the small sizes, growing with the picture.
    int line() const { return std::max(1, int(std::lround(scale_))); }
    double scale() const { return scale_; }

private:
    double scale_;
};

void fillOutlined(QPainter& p, const QRect& r, double radius, const QBrush& fill, int line,
                  const QColor& edge) {
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawRoundedRect(r, radius, radius);
    p.setBrush(fill);
    const QRect inner = r.adjusted(line, line, -line, -line);
    p.drawRoundedRect(inner, std::max(0.0, radius - line), std::max(0.0, radius - line));
}

QImage icon(int size) {
    const Grid g(size);
    const int line = g.line();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // Straight edges sit on pixel boundaries; only the round parts need smoothing, and at 16 px
    // smoothing the corners would only blur them.
    p.setRenderHint(QPainter::Antialiasing, size >= 22);
    const QColor edge(24, 26, 32);

    // Viewfinder hump and shutter button, behind the body's top edge; below 24 px they are too
    // small for an outline and keep only their colour.
    const int small = size < 24 ? 0 : line;
    const QRect hump = g.rect(5, 5, 13, 10);
    QLinearGradient silver(hump.topLeft(), hump.bottomLeft());
    silver.setColorAt(0, QColor(235, 238, 242));
    silver.setColorAt(1, QColor(160, 166, 176));
    fillOutlined(p, hump, g.scale(), silver, small, edge);
    const QRect button = g.rect(21, 6, 27, 10);
    QLinearGradient red(button.topLeft(), button.bottomLeft());
    red.setColorAt(0, QColor(255, 110, 90));
    red.setColorAt(1, QColor(190, 20, 10));
    fillOutlined(p, button, g.scale(), red, small, edge);

    // Body: grey metal, lighter at the top, as lit from above.
    const QRect body = g.rect(1, 9, 31, 28);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, QColor(150, 154, 164));
    metal.setColorAt(0.5, QColor(112, 116, 126));
    metal.setColorAt(1, QColor(72, 76, 86));
    fillOutlined(p, body, 3 * g.scale(), metal, line, edge);
    if (size >= 32) {
        // A dark band where the hand holds it.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(52, 55, 64));
        p.drawRect(g.rect(1, 13, 31, 24).adjusted(line, 0, -line, 0));
    }

    // Lens: black barrel, blue glass, one highlight. Centred on a pixel corner or a pixel middle
    // so that the circle is symmetric at every size.
    const QPointF centre(g.px(16), g.px(18.5));
    const double barrel = g.px(8);
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawEllipse(centre, barrel, barrel);
    const double ring = barrel - line;
    QRadialGradient steel(centre, ring);
    steel.setColorAt(0.7, QColor(40, 42, 50));
    steel.setColorAt(1, QColor(120, 124, 134));
    p.setBrush(steel);
    p.drawEllipse(centre, ring, ring);
    const double glass = std::max(2.0, double(g.px(4.5)));
    QRadialGradient blue(centre - QPointF(glass / 3, glass / 3), glass * 1.4);
    blue.setColorAt(0, QColor(120, 180, 255));
    blue.setColorAt(0.6, QColor(20, 70, 220));
    blue.setColorAt(1, QColor(5, 20, 90));
    p.setBrush(blue);
    p.drawEllipse(centre, glass, glass);
    p.setBrush(QColor(255, 255, 255, 230));
    const double shine = std::max(1.0, double(g.px(1.5)));
    p.drawEllipse(QRectF(centre.x() - glass * 0.55, centre.y() - glass * 0.6, shine, shine));
    p.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    return runPictureTool(argc, argv, [](const QString& folder) {
        for (const int size : kSizes) {
            const QString dir = folder + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
            if (!QDir().mkpath(dir) ||
                !icon(size).save(dir + QStringLiteral("/org.example.kelvoro.png"), "PNG"))
                return false;
        }
        return true;
    });
}
