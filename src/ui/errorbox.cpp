#include "errorbox.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

namespace kvr {
namespace {

// Placed once its size is known, just before it is mapped, so the window manager takes the
// position as the program's own.
class CentredBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            QRect frame(QPoint(), size());
            frame.moveCenter(area.center());
            move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
        }
    }
};

void showBox(const QString& caption, const QString& text) {
    // No parent: a box that hangs on a minimised main window could be hidden with it.
    CentredBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace

void showErrorBox(const QString& message) {
    showBox(QStringLiteral("エラー"), message);
}

void showStopBox(const QString& caption, const QString& message) {
    showBox(caption, withFullStop(message));
}

QString withFullStop(const QString& message) {
    const QByteArray bytes = message.toUtf8();
    if (bytes.isEmpty())
        return message;
    // Step back over UTF-8 continuation bytes to the first byte of the last character.
    qsizetype last = bytes.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(bytes[last]) & 0xC0) == 0x80)
        --last;
    if (static_cast<unsigned char>(bytes[last]) <= 0x2E)
        return message;
    return message + QLatin1Char('.');
}

}  // namespace kvr
