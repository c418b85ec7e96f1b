// kvr_test_pattern [--title T]: a fixed-size window of eight colour bars (white, yellow, cyan,
// green, magenta, red, blue, black; 80 px each, 640x360 in all) for checking that a grab holds
// the screen's real pixels. A fixed size makes tiling compositors float it at its own size.
// Prints "painted W H" once the compositor has shown it (see paintEvent).
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <cstdio>

namespace {

constexpr QRgb kBars[8] = {0xffffff, 0xffff00, 0x00ffff, 0x00ff00,
                           0xff00ff, 0xff0000, 0x0000ff, 0x000000};
constexpr int kBarWidth = 80;
constexpr int kHeight = 360;

class Pattern : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int i = 0; i < 8; ++i)
            p.fillRect(i * kBarWidth, 0, kBarWidth, height(), QColor(kBars[i]));
        // A window's update() waits, on Qt's wayland platform, for the compositor's frame
        // callback of the last frame, which comes once that frame was on screen. So the third
        // paint proves the window is shown.
        if (++paints_ < 3) {
            update();
        } else if (paints_ == 3) {
            std::printf("painted %d %d\n", width(), height());
            std::fflush(stdout);
        }
    }

private:
    int paints_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QString title = QStringLiteral("kvr-test-pattern");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("--title"))
            title = args[i + 1];
    Pattern window;
    window.setTitle(title);
    const QSize size(8 * kBarWidth, kHeight);
    window.resize(size);
    window.setMinimumSize(size);
    window.setMaximumSize(size);
    window.show();
    return app.exec();
}
