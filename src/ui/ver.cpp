#include "ver.h"

#include <QBitmap>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

#include "access.h"
#include "app.h"
#include "dialog_place.h"
#include "layoutscale.h"
#include "pictures.h"
#include "ui_ver.h"

const char* const kContactMail = "kelvoro@example.org";
const char* const kContactWeb = "https://kelvoro.example.org/";

namespace {

// A transparent bitmap shows what lies under it wherever it has the colour of its bottom-left
// pixel; a 24-bit BMP has no alpha of its own.
void makeTransparent(QLabel& picture) {
    QPixmap pixmap = picture.pixmap();
    if (pixmap.isNull())
        return;
    const QColor key = pixmap.toImage().pixelColor(0, pixmap.height() - 1);
    pixmap.setMask(pixmap.createMaskFromColor(key, Qt::MaskInColor));  // key colour: see-through
    picture.setPixmap(pixmap);
}

}  // namespace

TAboutBox::TAboutBox(QWidget& owner)
    : QDialog(&owner, Qt::Dialog | Qt::FramelessWindowHint),
      ui_(std::make_unique<Ui::TAboutBox>()) {
    ui_->setupUi(this);
    ui_->Label4->setText(QStringLiteral("Version  " KVR_VERSION));
    kvr::applyLayout(*this, kvr::layoutScale());
    kvr::fitCaptions(*this);
    setFixedSize(size());
    kvr::setSharpPicture(*ui_->Image1, QStringLiteral(":/background.jpg"));
    kvr::setSharpPicture(*ui_->Image2, QStringLiteral(":/maker.jpg"));
    kvr::setSharpPicture(*ui_->Image3, QStringLiteral(":/logo.bmp"));
    makeTransparent(*ui_->Image3);
    setTabOrder(ui_->SpeedButton1, ui_->Label1);
    setTabOrder(ui_->Label1, ui_->Label2);
    kvr::enableKeyboard(*this);
    // Enter and Esc answer at once: "×" has the focus when the box opens.
    ui_->SpeedButton1->setFocus(Qt::OtherFocusReason);
    for (QLabel* link : {ui_->Label1, ui_->Label2})
        link->installEventFilter(this);
    connect(ui_->SpeedButton1, &QToolButton::clicked, this,
            [this] { kvr::runHandler([this] { SpeedButton1Click(); }); });
}

TAboutBox::~TAboutBox() = default;

bool TAboutBox::eventFilter(QObject* watched, QEvent* e) {
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && (label == ui_->Label1 || label == ui_->Label2)) {
        switch (e->type()) {
            case QEvent::Enter:
                LabelMouseEnter(*label);
                break;
            case QEvent::Leave:
                LabelMouseLeave(*label);
                break;
            case QEvent::KeyPress: {
                // A focused link opens with Enter or Space, as a click does.
                const int key = static_cast<QKeyEvent*>(e)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                    kvr::runHandler([&] { LabelClick(*label); });
                    return true;
                }
                break;
            }
            case QEvent::FocusIn:
                LabelMouseEnter(*label);  // the link's hover look shows where the focus is
                break;
            case QEvent::FocusOut:
                LabelMouseLeave(*label);
                break;
            case QEvent::MouseButtonRelease: {
                // A click is a press and a release of the left button over the label.
                const auto* mouse = static_cast<QMouseEvent*>(e);
                if (mouse->button() == Qt::LeftButton &&
                    label->rect().contains(mouse->position().toPoint()))
                    kvr::runHandler([&] { LabelClick(*label); });
                break;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TAboutBox::SpeedButton1Click() {
    close();
}

void TAboutBox::LabelMouseEnter(QLabel& label) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label.setPalette(palette);
    QFont font = label.font();
    font.setUnderline(true);
    label.setFont(font);
}

void TAboutBox::LabelMouseLeave(QLabel& label) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    label.setPalette(palette);
    QFont font = label.font();
    font.setUnderline(false);
    label.setFont(font);
}

void TAboutBox::LabelClick(QLabel& label) {
    // The desktop's own handlers open these; when none is set up nothing is shown.
    if (label.objectName() == QLatin1String("Label1"))
        QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QLatin1String(kContactMail)));
    else
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kContactWeb)));
}

void showAboutBox(QWidget& owner) {
    TAboutBox box(owner);  // freed on every way out of here
    centreOver(box, owner);
    box.exec();
}
