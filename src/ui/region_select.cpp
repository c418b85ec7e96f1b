#include "region_select.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "base/texts.h"
#include "clipboard.h"
#include "core/region.h"
#include "translate.h"

namespace kvr {
namespace region {

ScreenRect spanning(int x0, int y0, int x1, int y1) {
    return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + 1, std::abs(y1 - y0) + 1};
}

ScreenRect keptInside(ScreenRect r, int width, int height, bool move) {
    if (move) {
        r.width = std::min(r.width, width);
        r.height = std::min(r.height, height);
        r.x = std::clamp(r.x, 0, width - r.width);
        r.y = std::clamp(r.y, 0, height - r.height);
        return r;
    }
    const int right = std::clamp(r.x + r.width, 1, width);
    const int bottom = std::clamp(r.y + r.height, 1, height);
    r.x = std::clamp(r.x, 0, right - 1);
    r.y = std::clamp(r.y, 0, bottom - 1);
    return {r.x, r.y, right - r.x, bottom - r.y};
}

ScreenRect resized(ScreenRect r, int edges, int dx, int dy) {
    int left = r.x, top = r.y, right = r.x + r.width, bottom = r.y + r.height;
    if (edges & kLeft)
        left = std::min(left + dx, right - 1);
    if (edges & kRight)
        right = std::max(right + dx, left + 1);
    if (edges & kTop)
        top = std::min(top + dy, bottom - 1);
    if (edges & kBottom)
        bottom = std::max(bottom + dy, top + 1);
    return {left, top, right - left, bottom - top};
}

}  // namespace region

namespace {

using namespace region;

constexpr int kDragThreshold = 3;  // logical pixels before a press becomes a drag
constexpr int kHandle = 7;         // a handle's side, logical pixels
constexpr int kLargeStep = 10;     // arrow keys with Ctrl
constexpr int kLensPixels = 15;    // picture pixels across the magnifier
constexpr int kLensZoom = 8;
const QColor kDim(0, 0, 0, 120);

// The picture as the toolkit draws it: the usual 32-bit layout is shown where it lies, any other
// is converted once.
QImage shownImage(const Picture& p) {
    if (p.bitsPerPixel == 32 && p.byteOrder == ByteOrder::LsbFirst && p.redMask == 0xff0000 &&
        p.greenMask == 0x00ff00 && p.blueMask == 0x0000ff)
        return QImage(p.pixels, p.width, p.height, qsizetype(p.stride), QImage::Format_RGB32);
    return imageOfPicture(p);
}

class Selector;

// One monitor's part of the picture, full-screen over that monitor.
class Overlay final : public QWidget {
public:
    Overlay(Selector& selector, QScreen* screen, const ScreenRect& place);
    const ScreenRect& place() const { return place_; }
    QScreen* targetScreen() const { return screen_; }
    // Picture pixels per logical pixel. The screen's own ratio where it fits the place: the
    // toolkit's logical size is rounded to whole pixels, its ratio is not.
    QPointF scale() const {
        const double ratio = devicePixelRatioF();
        if (std::abs(width() * ratio - place_.width) <= 1 &&
            std::abs(height() * ratio - place_.height) <= 1)
            return {ratio, ratio};
        return {double(place_.width) / std::max(width(), 1),
                double(place_.height) / std::max(height(), 1)};
    }
    // A rectangle of picture pixels in this widget's coordinates.
    QRectF local(const ScreenRect& r) const {
        const QPointF s = scale();
        return {(r.x - place_.x) / s.x(), (r.y - place_.y) / s.y(), r.width / s.x(),
                r.height / s.y()};
    }

protected:
    void paintEvent(QPaintEvent*) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    Selector& selector_;
    QScreen* screen_;
    ScreenRect place_;
};

class Selector {
public:
    Selector(const Picture& picture, const std::vector<ScreenRect>& frames)
        : image_(shownImage(picture)),
          width_(picture.width),
          height_(picture.height),
          frames_(frames) {}

    std::vector<std::unique_ptr<Overlay>> overlays;
    std::optional<ScreenRect> selection;
    std::optional<bool> accepted;  // set when it ends
    std::function<void()> ended;
    std::function<std::optional<ScreenPoint>()> nativePointer;

    const QImage& image() const { return image_; }
    bool dragging() const { return pressed_ && moved_; }
    QPoint pointer() const { return pointer_; }

    // The picture pixel under a point of the desktop (the toolkit's global coordinates).
    QPoint toPicture(QPointF global) const {
        const Overlay* on = nullptr;
        for (const auto& o : overlays)
            if (!on || o->geometry().contains(global.toPoint()))
                on = o.get();
        if (!on)
            return {};
        const ScreenRect& p = on->place();
        const QPointF at = global - QPointF(on->geometry().topLeft());
        // Whole pixels of the picture, at any scale; a hair of slack for the division's error.
        const QPointF scale = on->scale();
        int x = p.x + int(std::floor(at.x() * scale.x() + 1e-3));
        int y = p.y + int(std::floor(at.y() * scale.y() + 1e-3));
        // The toolkit rounds the pointer to its scaled pixels: where the session tells the
        // pointer's own pixel and it agrees with the event, that one.
        if (nativePointer && (scale.x() > 1 || scale.y() > 1))
            if (const auto native = nativePointer();
                native && std::abs(native->x - x) <= std::ceil(scale.x()) &&
                std::abs(native->y - y) <= std::ceil(scale.y()))
                x = native->x, y = native->y;
        return {std::clamp(x, p.x, p.x + p.width - 1), std::clamp(y, p.y, p.y + p.height - 1)};
    }

    // The handle (edges) or the inside (every edge: a move) under a global point; 0 elsewhere.
    int partAt(QPointF global) const {
        if (!selection)
            return 0;
        for (const auto& o : overlays) {
            if (!o->geometry().contains(global.toPoint()))
                continue;
            const QRectF r = o->local(*selection);
            const QPointF at = global - QPointF(o->geometry().topLeft());
            const double reach = kHandle;
            const bool nearLeft = std::abs(at.x() - r.left()) <= reach;
            const bool nearRight = std::abs(at.x() - r.right()) <= reach;
            const bool nearTop = std::abs(at.y() - r.top()) <= reach;
            const bool nearBottom = std::abs(at.y() - r.bottom()) <= reach;
            const bool withinX = at.x() >= r.left() - reach && at.x() <= r.right() + reach;
            const bool withinY = at.y() >= r.top() - reach && at.y() <= r.bottom() + reach;
            int edges = 0;
            if (withinY && nearLeft)
                edges |= kLeft;
            else if (withinY && nearRight)
                edges |= kRight;
            if (withinX && nearTop)
                edges |= kTop;
            else if (withinX && nearBottom)
                edges |= kBottom;
            if (edges)
                return edges;
            return r.contains(at) ? kLeft | kTop | kRight | kBottom : 0;
        }
        return 0;
    }

    void press(QMouseEvent* e) {
        if (e->button() == Qt::RightButton)
            return finish(false);
        if (e->button() != Qt::LeftButton)
            return;
        pressed_ = true;
        moved_ = false;
        pressGlobal_ = e->globalPosition();
        pressPixel_ = toPicture(pressGlobal_);
        pointer_ = pressPixel_;
        part_ = partAt(pressGlobal_);
        start_ = selection.value_or(ScreenRect{});
    }

    void move(QMouseEvent* e) {
        pointer_ = toPicture(e->globalPosition());
        if (!pressed_) {
            updateCursor(e->globalPosition());
            return;
        }
        if (!moved_ && (e->globalPosition() - pressGlobal_).manhattanLength() < kDragThreshold)
            return;
        moved_ = true;
        const int dx = pointer_.x() - pressPixel_.x(), dy = pointer_.y() - pressPixel_.y();
        if (part_ == (kLeft | kTop | kRight | kBottom))
            selection = keptInside({start_.x + dx, start_.y + dy, start_.width, start_.height},
                                   width_, height_, true);
        else if (part_)
            selection = keptInside(resized(start_, part_, dx, dy), width_, height_, false);
        else
            selection = spanning(pressPixel_.x(), pressPixel_.y(), pointer_.x(), pointer_.y());
        repaint();
    }

    void release(QMouseEvent* e) {
        if (e->button() != Qt::LeftButton || !pressed_)
            return;
        pressed_ = false;
        // A click: the window under the pointer, as Active Form would take it.
        if (!moved_ && part_ == 0)
            if (const auto frame =
                    frameAt(frames_, pressPixel_.x(), pressPixel_.y(), width_, height_))
                selection = frame;
        repaint();
    }

    void doubleClick(QMouseEvent* e) {
        if (e->button() == Qt::LeftButton && selection)
            finish(true);
    }

    void key(QKeyEvent* e, const ScreenRect& monitor) {
        const int k = e->key();
        if (k == Qt::Key_Escape)
            return finish(false);
        if (k == Qt::Key_Return || k == Qt::Key_Enter) {
            if (selection)
                finish(true);
            return;
        }
        int dx = 0, dy = 0;
        if (k == Qt::Key_Left)
            dx = -1;
        else if (k == Qt::Key_Right)
            dx = 1;
        else if (k == Qt::Key_Up)
            dy = -1;
        else if (k == Qt::Key_Down)
            dy = 1;
        if (!dx && !dy)
            return;
        // Without a pointer the keys alone make one: a pixel at the monitor's corner to start.
        if (!selection)
            selection = ScreenRect{monitor.x, monitor.y, 1, 1};
        const int step = e->modifiers() & Qt::ControlModifier ? kLargeStep : 1;
        dx *= step;
        dy *= step;
        ScreenRect& s = *selection;
        if (e->modifiers() & Qt::ShiftModifier)
            s = keptInside(resized(s, kRight | kBottom, dx, dy), width_, height_, false);
        else
            s = keptInside({s.x + dx, s.y + dy, s.width, s.height}, width_, height_, true);
        repaint();
    }

    void finish(bool accept) {
        if (accepted)
            return;
        accepted = accept && selection.has_value();
        if (ended)
            ended();
    }

private:
    void repaint() {
        for (const auto& o : overlays)
            o->update();
    }

    void updateCursor(QPointF global) {
        const int part = partAt(global);
        const Qt::CursorShape shape =
            part == (kLeft | kTop | kRight | kBottom)              ? Qt::SizeAllCursor
            : part == (kLeft | kTop) || part == (kRight | kBottom) ? Qt::SizeFDiagCursor
            : part == (kRight | kTop) || part == (kLeft | kBottom) ? Qt::SizeBDiagCursor
            : part & (kLeft | kRight)                              ? Qt::SizeHorCursor
            : part & (kTop | kBottom)                              ? Qt::SizeVerCursor
                                                                   : Qt::CrossCursor;
        for (const auto& o : overlays)
            o->setCursor(shape);
    }

    QImage image_;
    int width_, height_;
    std::vector<ScreenRect> frames_;
    bool pressed_ = false, moved_ = false;
    QPointF pressGlobal_;
    QPoint pressPixel_, pointer_;
    int part_ = 0;
    ScreenRect start_;
};

Overlay::Overlay(Selector& selector, QScreen* screen, const ScreenRect& place)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           (QGuiApplication::platformName() == QLatin1String("xcb")
                                ? Qt::BypassWindowManagerHint
                                : Qt::WindowType(0))),
      selector_(selector),
      screen_(screen),
      place_(place) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(translated(text::kRegion));
    setAccessibleName(translated(text::kRegionSelection));
}

void Overlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF all = rect();
    const QRect source(place_.x, place_.y, place_.width, place_.height);
    p.drawImage(all, selector_.image(), source);
    QPainterPath dim;
    dim.addRect(all);
    const auto& selection = selector_.selection;
    QRectF chosen;
    if (selection) {
        chosen = local(*selection);
        QPainterPath hole;
        hole.addRect(chosen);
        dim = dim.subtracted(hole);
    }
    p.fillPath(dim, kDim);
    if (!selection)
        return;
    // The frame lies just outside the chosen pixels, so none of them is hidden.
    const QRectF frame = chosen.adjusted(-1, -1, 0, 0);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(frame);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawRect(frame);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    const double h = kHandle / 2.0;
    for (const double x : {chosen.left(), chosen.center().x(), chosen.right()})
        for (const double y : {chosen.top(), chosen.center().y(), chosen.bottom()})
            if (x != chosen.center().x() || y != chosen.center().y())
                p.drawRect(QRectF(x - h, y - h, kHandle, kHandle));
    // The size in the file's pixels, below the rectangle (above it at the monitor's bottom).
    const QString size = QStringLiteral("%1 × %2").arg(selection->width).arg(selection->height);
    const QFontMetrics metrics(font());
    QRectF label(0, 0, metrics.horizontalAdvance(size) + 10, metrics.height() + 4);
    label.moveTopLeft(chosen.bottomLeft() + QPointF(0, 6));
    if (label.bottom() > height())
        label.moveBottomLeft(chosen.topLeft() - QPointF(0, 6));
    if (label.top() < 0)
        label.moveTopLeft(chosen.topLeft() + QPointF(6, 6));
    label.moveLeft(std::clamp(label.left(), 0.0, std::max(0.0, width() - label.width())));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 190));
    p.drawRoundedRect(label, 3, 3);
    p.setPen(Qt::white);
    p.drawText(label, Qt::AlignCenter, size);

    // The magnifier: the pixels around the pointer, one picture pixel a square.
    const QPoint at = selector_.pointer();
    if (!selector_.dragging() || !QRect(source).contains(at))
        return;
    const QRect around(at.x() - kLensPixels / 2, at.y() - kLensPixels / 2, kLensPixels,
                       kLensPixels);
    const QRectF pointer = local({at.x(), at.y(), 1, 1});
    QRectF lens(0, 0, kLensPixels * kLensZoom, kLensPixels * kLensZoom);
    lens.moveTopLeft(pointer.bottomRight() + QPointF(24, 24));
    if (lens.right() > width())
        lens.moveRight(pointer.left() - 24);
    if (lens.bottom() > height())
        lens.moveBottom(pointer.top() - 24);
    p.fillRect(lens, Qt::black);
    p.drawImage(lens, selector_.image(), around);
    const QRectF centre(lens.left() + (kLensPixels / 2) * kLensZoom,
                        lens.top() + (kLensPixels / 2) * kLensZoom, kLensZoom, kLensZoom);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::red, 1));
    p.drawRect(centre);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(lens);
}

// Closed by the desktop (the compositor's close, a kill binding): a cancel, never a selection
// left waiting with nothing on screen.
void Overlay::closeEvent(QCloseEvent* e) {
    e->ignore();
    selector_.finish(false);
}
void Overlay::mousePressEvent(QMouseEvent* e) {
    selector_.press(e);
}
void Overlay::mouseMoveEvent(QMouseEvent* e) {
    selector_.move(e);
}
void Overlay::mouseReleaseEvent(QMouseEvent* e) {
    selector_.release(e);
}
void Overlay::mouseDoubleClickEvent(QMouseEvent* e) {
    selector_.doubleClick(e);
}
void Overlay::keyPressEvent(QKeyEvent* e) {
    selector_.key(e, place_);
}

// The monitor's place in the picture: by output name, else where the screen's corner lies (X11
// keeps the native corner), else the screen's own geometry at its density.
ScreenRect placeOf(QScreen* screen, const std::vector<MonitorPlace>& monitors, int width,
                   int height) {
    const QRect g = screen->geometry();
    for (const MonitorPlace& m : monitors)
        if (!m.name.empty() && QString::fromStdString(m.name) == screen->name())
            return m.rect;
    for (const MonitorPlace& m : monitors)
        if (m.rect.x == g.x() && m.rect.y == g.y())
            return m.rect;
    if (monitors.size() == 1 && QGuiApplication::screens().size() == 1)
        return monitors.front().rect;
    const double scale = screen->devicePixelRatio();
    const ScreenRect guess{g.x(), g.y(), int(std::lround(g.width() * scale)),
                           int(std::lround(g.height() * scale))};
    return regionOnMonitors(guess, {}, width, height).value_or(ScreenRect{});
}

// Grabs the keyboard and the pointer for the selection, retried until the window is mapped.
void grabInput(QPointer<Overlay> overlay, int triesLeft) {
    if (!overlay)
        return;
    QWindow* window = overlay->windowHandle();
    const bool keyboard = window && window->setKeyboardGrabEnabled(true);
    const bool mouse = window && window->setMouseGrabEnabled(true);
    if (window)
        window->requestActivate();
    if ((!keyboard || !mouse) && triesLeft > 1)
        QTimer::singleShot(20, overlay,
                           [overlay, triesLeft] { grabInput(overlay, triesLeft - 1); });
}

}  // namespace

std::optional<ScreenRect> selectRegion(const Picture& picture,
                                       const std::vector<MonitorPlace>& monitors,
                                       const std::vector<ScreenRect>& frames,
                                       const std::function<std::optional<ScreenPoint>()>& pointer) {
    if (picture.empty())
        return std::nullopt;
    Selector selector(picture, frames);
    selector.nativePointer = pointer;
    for (QScreen* screen : QGuiApplication::screens()) {
        const ScreenRect place = placeOf(screen, monitors, picture.width, picture.height);
        if (place.width <= 0 || place.height <= 0)
            continue;
        auto overlay = std::make_unique<Overlay>(selector, screen, place);
        overlay->setGeometry(screen->geometry());
        overlay->winId();
        overlay->windowHandle()->setScreen(screen);
        overlay->setGeometry(screen->geometry());
        selector.overlays.push_back(std::move(overlay));
    }
    if (selector.overlays.empty())
        return std::nullopt;
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    for (const auto& o : selector.overlays) {
        if (x11)
            o->show();
        else
            o->showFullScreen();
        o->raise();
    }
    Overlay* first = selector.overlays.front().get();
    first->activateWindow();
    first->setFocus(Qt::OtherFocusReason);
    // X11 grabs the input, retried until the window is mapped; Wayland has no grabs, and each
    // request to activate there asks the compositor for a token: once.
    if (x11)
        grabInput(first, 50);
    else if (QWindow* window = first->windowHandle())
        window->requestActivate();

    QEventLoop loop;
    selector.ended = [&loop] { loop.quit(); };
    loop.exec();
    for (const auto& o : selector.overlays) {
        if (QWindow* window = o->windowHandle()) {
            window->setKeyboardGrabEnabled(false);
            window->setMouseGrabEnabled(false);
        }
        o->hide();
    }
    // Off the screen before anything else is drawn there.
    QGuiApplication::sync();
    if (!selector.accepted.value_or(false))
        return std::nullopt;
    return selector.selection;
}

}  // namespace kvr
