#include "errorbox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "base/texts.h"
#include "dialog_place.h"
#include "translate.h"

namespace kvr {
namespace {

// Its text wraps at half the primary screen's width (the toolkit's own rule is narrower and caps
// wide screens), and it is placed once its size is known, just before it is mapped, so the
// window manager takes the position as the program's own.
class CentredBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        fitText();
        centreOnPrimaryScreen(*this);
    }

    bool event(QEvent* event) override {
        // Once shown, the box keeps the size made for its text: the toolkit's own sizing on each
        // layout request would undo it (and asks for another pass every time).
        if (event->type() == QEvent::LayoutRequest && fitted_) {
            const bool result = QDialog::event(event);
            fitText();
            return result;
        }
        return QMessageBox::event(event);
    }

private:
    void fitText() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!label || !screen || !layout())
            return;
        const int limit = std::max(1, screen->geometry().width() / 2);
        const int natural = label->fontMetrics()
                                .boundingRect(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX),
                                              Qt::TextExpandTabs, label->text())
                                .width() +
                            1;
        if (natural > limit)
            label->setWordWrap(true);
        // Fixed in both directions: a label that may still grow asks for layout passes forever.
        const int column = std::min(natural, limit);
        label->setFixedSize(
            column, label->wordWrap() ? label->heightForWidth(column) : label->sizeHint().height());
        // The toolkit caps the box on wide screens: widen it to the text column where needed.
        const int width = std::max(this->width(), layout()->totalMinimumSize().width());
        const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                         : layout()->totalMinimumSize().height();
        setFixedSize(width, height);
        fitted_ = true;
    }

    bool fitted_ = false;
};

void showBox(const QString& caption, const QString& text) {
    // No parent: a box that hangs on a minimised main window could be hidden with it.
    // The fixed texts break their lines as Windows does (CR LF); here a line ends with LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    CentredBox box(QMessageBox::Critical, caption, shown, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace

void showErrorBox(const QString& message) {
    showBox(translated(text::kErrorCaption), message);
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
