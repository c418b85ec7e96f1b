#include "clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "core/row_converter.h"

namespace kvr {
namespace {

const QString kPng = QStringLiteral("image/png");
constexpr int kActivationWaitMs = 3000;

// PNG made when someone pastes, not at the shot: most shots are never pasted.
class ShotMimeData final : public QMimeData {
public:
    ShotMimeData(QImage image, const QString& path) : image_(std::move(image)) {
        setUrls({QUrl::fromLocalFile(path)});
    }
    QStringList formats() const override { return QStringList{kPng} + QMimeData::formats(); }
    bool hasFormat(const QString& mime) const override {
        return mime == kPng || QMimeData::hasFormat(mime);
    }

protected:
    QVariant retrieveData(const QString& mime, QMetaType type) const override {
        if (mime != kPng)
            return QMimeData::retrieveData(mime, type);
        if (png_.isEmpty()) {
            QBuffer buffer(&png_);
            buffer.open(QIODevice::WriteOnly);
            image_.save(&buffer, "PNG");
        }
        return png_;
    }

private:
    QImage image_;
    mutable QByteArray png_;
};

}  // namespace

QImage imageOfPicture(const Picture& picture) {
    if (picture.empty())
        return {};
    QImage image(picture.width, picture.height, QImage::Format_BGR888);
    const RowConverter rows(picture);
    for (int y = 0; y < picture.height; ++y)
        rows.toBgr(y, image.scanLine(y));
    return image;  // BGR888: blue, green, red in memory, as the converter's rows
}

void copyShotWhenActive(QWidget& window, QImage image, const QString& path) {
    // Dropped with the last of the waiting callbacks if it never got there.
    auto pending =
        std::make_shared<std::unique_ptr<ShotMimeData>>(new ShotMimeData(std::move(image), path));
    const auto put = [pending] {
        if (*pending)
            QGuiApplication::clipboard()->setMimeData(pending->release());  // the clipboard owns it
    };
    if (window.isActiveWindow()) {
        put();
        return;
    }
    auto* context = new QObject(&window);
    QPointer<QWidget> watched(&window);
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, context, [put, context, watched] {
        if (watched && watched->isActiveWindow()) {
            put();
            context->deleteLater();
        }
    });
    QTimer::singleShot(kActivationWaitMs, context, [put, context] {
        put();
        context->deleteLater();
    });
}

}  // namespace kvr
