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
#include <exception>
#include <memory>

#include "core/row_converter.h"
#include "core/sink.h"
#include "core/webp.h"

namespace kvr {
namespace {

const QString kPng = QStringLiteral("image/png");
const QString kWebp = QStringLiteral("image/webp");
constexpr int kActivationWaitMs = 3000;

// The image's BGR888 (or ARGB32) rows as a picture for our own writers (the image keeps them).
Picture pictureOfImage(const QImage& image) {
    Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.bitsPerPixel = image.depth();
    picture.stride = size_t(image.bytesPerLine());
    picture.pixels = image.constBits();
    if (image.hasAlphaChannel())
        picture.alphaMask = 0xff000000;
    return picture;
}

// PNG and WebP made when someone pastes, not at the shot: most shots are never pasted.
class ShotMimeData final : public QMimeData {
public:
    ShotMimeData(QImage image, const QString& path)
        : image_(image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                               : QImage::Format_BGR888)) {
        setUrls({QUrl::fromLocalFile(path)});
    }
    QStringList formats() const override { return QStringList{kPng, kWebp} + QMimeData::formats(); }
    bool hasFormat(const QString& mime) const override {
        return mime == kPng || mime == kWebp || QMimeData::hasFormat(mime);
    }

protected:
    QVariant retrieveData(const QString& mime, QMetaType type) const override {
        if (mime == kPng && png_.isEmpty()) {
            QBuffer buffer(&png_);
            buffer.open(QIODevice::WriteOnly);
            image_.save(&buffer, "PNG");
        } else if (mime == kWebp && webp_.isEmpty() && !image_.isNull()) {
            try {
                MemorySink sink;
                writeWebp(pictureOfImage(image_), sink);
                webp_ = QByteArray(reinterpret_cast<const char*>(sink.bytes.data()),
                                   qsizetype(sink.bytes.size()));
            } catch (const std::exception&) {
                return {};  // too large for WebP, or out of memory: the paste gets nothing
            }
        }
        if (mime == kPng)
            return png_;
        if (mime == kWebp)
            return webp_;
        return QMimeData::retrieveData(mime, type);
    }

private:
    QImage image_;
    mutable QByteArray png_, webp_;
};

}  // namespace

QImage imageOfPicture(const Picture& picture) {
    if (picture.empty())
        return {};
    const RowConverter rows(picture);
    if (picture.alphaMask) {
        // A window with its translucent shadow: ARGB32 is blue, green, red, alpha in memory.
        QImage image(picture.width, picture.height, QImage::Format_ARGB32);
        for (int y = 0; y < picture.height; ++y)
            rows.toRgba(y, image.scanLine(y), true);
        return image;
    }
    QImage image(picture.width, picture.height, QImage::Format_BGR888);
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
