#include "opt.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QTabBar>
#include <QWindow>
#include <algorithm>
#include <optional>

#include "access.h"
#include "app.h"
#include "base/texts.h"
#include "core/desktop.h"
#include "core/naming.h"
#include "core/settings.h"
#include "dialog_place.h"
#include "layoutscale.h"
#include "opt_capture.h"
#include "opt_format.h"
#include "prefixedit.h"
#include "translate.h"
#include "ui_opt.h"

namespace {

// Quality step buckets between the slider (0..10) and the list's four items.
constexpr int kSliderForItem[] = {1, 3, 6, 8};

int itemForSlider(int position) {
    if (position <= 2)
        return 0;
    if (position <= 5)
        return 1;
    if (position <= 7)
        return 2;
    return 3;
}

const QColor kSilver(192, 192, 192);

// A small tool-window caption, bright while the dialog is the active window.
const QString kActiveCaption = QStringLiteral(
    "QLabel { color: white; font-weight: bold; padding-left: 3px; background: "
    "qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #000080, stop:1 #1084d0); }");
const QString kInactiveCaption = QStringLiteral(
    "QLabel { color: #d4d0c8; font-weight: bold; padding-left: 3px; background: "
    "qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #808080, stop:1 #b5b5b5); }");

// Where the chooser opens: the output folder, or the nearest folder above it that exists.
QString startFolder(const std::string& place) {
    QFileInfo folder(QDir::cleanPath(QString::fromStdString(place)));
    if (folder.isRelative())
        return QStringLiteral("/");
    while (!folder.isDir() && !folder.isRoot())
        folder.setFile(folder.path());  // its parent
    return folder.absoluteFilePath();
}

// The output folder chooser: folders only, opening at the current output folder. Empty when
// cancelled. It is the desktop's own chooser where Qt's platform theme offers one (the portal).
std::optional<std::string> chooseOutputFolder(QWidget* parent, const std::string& place) {
    QFileDialog chooser(parent, kvr::translated(kvr::text::kChooseFolder), startFolder(place));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    // Choosing, not making: no new folder (nor renaming or deleting) from here. The toolkit's own
    // chooser only greys its "New Folder" button out; hide it.
    chooser.setOption(QFileDialog::ReadOnly);
    if (auto* newFolder = chooser.findChild<QWidget*>(QStringLiteral("newFolderButton")))
        newFolder->hide();
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = chooser.selectedFiles();
    if (chosen.isEmpty() || !QFileInfo(chosen.first()).isDir())
        return std::nullopt;
    return QDir::cleanPath(chosen.first()).toStdString();
}

}  // namespace

TForm2::TForm2(QWidget& owner, kvr::OptionsTarget target)
    : QDialog(&owner, Qt::Dialog | Qt::FramelessWindowHint),
      owner_(std::move(target)),
      ui_(std::make_unique<Ui::TForm2>()),
      radioGroup_(new QButtonGroup(this)) {
    ui_->setupUi(this);
    format_ = std::make_unique<kvr::LosslessFormatPage>(*ui_->PageControl1);
    capturePage_ = new kvr::CapturePage(*ui_->PageControl1, owner_.source);
    kvr::applyLayout(*this, kvr::layoutScale());
    kvr::fitCaptions(*this);
    fitTabs();
    setFixedSize(size());
    // The tab bar, each page's controls, then "閉じる" (pages not shown are skipped).
    QWidget* order[] = {ui_->PageControl1->tabBar(),
                        ui_->RadioGroup1Item0,
                        ui_->RadioGroup1Item1,
                        ui_->ComboBox1,
                        ui_->TrackBar1,
                        ui_->CheckBox1,
                        ui_->Edit1,
                        ui_->SpeedButton1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    setTabOrder(ui_->Edit1, format_->bmpButton());
    setTabOrder(format_->bmpButton(), format_->pngButton());
    setTabOrder(format_->pngButton(), format_->webpButton());
    setTabOrder(format_->webpButton(), capturePage_->first());
    setTabOrder(capturePage_->last(), ui_->SpeedButton1);
    kvr::enableKeyboard(*this);
    // Ctrl+Tab and Ctrl+Shift+Tab turn the page from any control: a list box would otherwise
    // take the key as a letter to search for and keep the page where it is.
    const auto turn = [this](int step) {
        QTabBar* bar = ui_->PageControl1->tabBar();
        const int count = bar->count();
        for (int i = 1; i < count; ++i) {
            const int page = (bar->currentIndex() + step * i + count) % count;
            if (bar->isTabVisible(page) && bar->isTabEnabled(page)) {
                bar->setCurrentIndex(page);
                return;
            }
        }
    };
    new QShortcut(QKeySequence::NextChild, this, [turn] { turn(1); });
    new QShortcut(QKeySequence::PreviousChild, this, [turn] { turn(-1); });

    // The caption strip is ours: window managers keep their own system buttons on any title
    // bar they draw, and this dialog has none.
    ui_->TitleBar->installEventFilter(this);
    paintCaption(false);

    radioGroup_->addButton(ui_->RadioGroup1Item0, 0);
    radioGroup_->addButton(ui_->RadioGroup1Item1, 1);
    // A prefix becomes part of a file name: no folder separators or control characters are
    // taken from the keyboard or a paste (nor from kvr.ini, see loadSettings).
    new kvr::PrefixTyping(*ui_->Edit1);

    // Errors of a handler go to the top-level handler, not through the toolkit's frames.
    connect(radioGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            kvr::runHandler([&] { RadioGroup1Click(id); });
    });
    // "その他" when it is already the choice: another folder (a cancel keeps the one in effect).
    connect(radioGroup_, &QButtonGroup::idPressed, this,
            [this](int id) { otherFolderChosen_ = id == 1 && radioItemIndex() == 1; });
    connect(radioGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == 1 && otherFolderChosen_ && owner_.OptFlag)
            kvr::runHandler([this] {
                if (const auto folder = chooseOutputFolder(this, owner_.Place))
                    setPlace(*folder);
            });
    });
    connect(ui_->TrackBar1, &QSlider::valueChanged, this,
            [this] { kvr::runHandler([this] { TrackBar1Change(); }); });
    // activated: the user's choice only, so selecting an item from the slider does not come back.
    connect(ui_->ComboBox1, &QComboBox::activated, this,
            [this] { kvr::runHandler([this] { ComboBox1Change(); }); });
    connect(ui_->CheckBox1, &QCheckBox::toggled, this,
            [this] { kvr::runHandler([this] { CheckBox1Click(); }); });
    connect(ui_->SpeedButton1, &QToolButton::clicked, this,
            [this] { kvr::runHandler([this] { SpeedButton1Click(); }); });
}

TForm2::~TForm2() = default;

void TForm2::loadSettings() {
    owner_.OptFlag = false;
    const kvr::Settings settings(owner_.settingsPath);
    const int flg = settings.readInteger("Save", "flg", 0);
    selectRadioItem(flg < 0 ? -1 : std::min(flg, 1));
    ui_->Label1->setText(QString::fromStdString(owner_.Place));
    ui_->TrackBar1->setValue(std::clamp(settings.readInteger("JPEG", "qualityrange", 3), 0, 10));
    ui_->ComboBox1->setCurrentIndex(itemForSlider(ui_->TrackBar1->value()));
    ui_->CheckBox1->setChecked(settings.readBool("Save", "filenamecheck", false));
    ui_->Edit1->setText(
        QString::fromStdString(kvr::prefixAsTyped(settings.readString("Save", "filename", ""))));
    format_->load(settings);
    capturePage_->load(settings);
}

void TForm2::reject() {
    // Esc (and the window manager's close) does what "閉じる" does: the dialog has no cancel,
    // and a folder chosen has already changed the main window.
    kvr::runHandler([this] { SpeedButton1Click(); });
}

void TForm2::keyPressEvent(QKeyEvent* e) {
    // "閉じる" is the default button: Enter on any control that has no use for it.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        ui_->SpeedButton1->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TForm2::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        paintCaption(true);
        FormActivate();
    } else if (e->type() == QEvent::WindowDeactivate) {
        paintCaption(false);
    }
    return QDialog::event(e);
}

bool TForm2::eventFilter(QObject* watched, QEvent* e) {
    // Dragging the caption moves the dialog, as on a title bar: the window manager takes over
    // at the first move with the button held.
    // Only a mouse event is one: the caption strip also gets font, paint and other events.
    if (watched == ui_->TitleBar &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove)) {
        const auto* mouse = static_cast<QMouseEvent*>(e);
        if (e->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            captionPressed_ = true;
        if (e->type() == QEvent::MouseMove && captionPressed_ &&
            (mouse->buttons() & Qt::LeftButton) && windowHandle()) {
            captionPressed_ = false;
            windowHandle()->startSystemMove();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TForm2::fitTabs() {
    // Every tab shows at once and whole, in any language and at any density: no scroll arrows
    // (nor their Tab stop), no cut words; where the tabs need more room the dialog grows, and
    // each page's controls move to the middle of the room gained.
    QTabBar* bar = ui_->PageControl1->tabBar();
    bar->setUsesScrollButtons(false);
    bar->setElideMode(Qt::ElideNone);
    bar->ensurePolished();
    const int grow = bar->sizeHint().width() + 4 - ui_->PageControl1->width();
    if (grow <= 0)
        return;
    resize(width() + grow, height());
    for (QWidget* w : std::initializer_list<QWidget*>{ui_->TitleBar, ui_->ClientArea,
                                                      ui_->PageControl1, ui_->Panel1})
        w->resize(w->width() + grow, w->height());
    ui_->SpeedButton1->move(ui_->SpeedButton1->x() + grow, ui_->SpeedButton1->y());
    for (int i = 0; i < ui_->PageControl1->count(); ++i)
        for (QWidget* control : ui_->PageControl1->widget(i)->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly))
            control->move(control->x() + grow / 2, control->y());
}

void TForm2::paintCaption(bool active) {
    ui_->TitleBar->setStyleSheet(active ? kActiveCaption : kInactiveCaption);
}

void TForm2::FormActivate() {
    owner_.OptFlag = true;
}

void TForm2::RadioGroup1Click(int itemIndex) {
    if (!owner_.OptFlag)
        return;
    if (itemIndex == 1) {
        if (const auto folder = chooseOutputFolder(this, owner_.Place))
            setPlace(*folder);
        else
            selectRadioItem(0);  // runs this handler again, for the desktop
    } else if (itemIndex == 0) {
        setPlace(kvr::desktopFolder());
    }
}

void TForm2::TrackBar1Change() {
    const int position = ui_->TrackBar1->value();
    ui_->StaticText1->setText(QString::number(position));
    ui_->ComboBox1->setCurrentIndex(itemForSlider(position));
}

void TForm2::ComboBox1Change() {
    const int item = ui_->ComboBox1->currentIndex();
    if (item >= 0 && item < int(std::size(kSliderForItem)))
        ui_->TrackBar1->setValue(kSliderForItem[item]);
}

void TForm2::CheckBox1Click() {
    const bool on = ui_->CheckBox1->isChecked();
    QPalette palette = ui_->Edit1->palette();
    palette.setColor(QPalette::Base, on ? QColor(Qt::white) : kSilver);
    ui_->Edit1->setPalette(palette);
    ui_->Edit1->setEnabled(on);
}

void TForm2::SpeedButton1Click() {
    kvr::OptionSettings options;
    options.flg = radioItemIndex();
    options.place = owner_.Place;
    options.qualityrange = kvr::parseInteger(ui_->StaticText1->text().toStdString());
    options.filenamecheck = ui_->CheckBox1->isChecked();
    options.filename = ui_->Edit1->text().toStdString();
    options.lossless = format_->format();
    {
        kvr::Settings settings(owner_.settingsPath);
        kvr::writeOptionSettings(settings, options);
        kvr::writeCaptureChoices(settings, capturePage_->choices());
    }
    owner_.FileName = options.filename;
    owner_.FileNameCheck = options.filenamecheck;
    owner_.Lossless = options.lossless;
    accept();
}

int TForm2::radioItemIndex() const {
    return radioGroup_->checkedId();
}

void TForm2::selectRadioItem(int itemIndex) {
    if (QAbstractButton* button = radioGroup_->button(itemIndex)) {
        button->setChecked(true);
        return;
    }
    // No item: an exclusive group refuses to clear its last checked button.
    radioGroup_->setExclusive(false);
    for (QAbstractButton* button : radioGroup_->buttons())
        button->setChecked(false);
    radioGroup_->setExclusive(true);
}

void TForm2::setPlace(const std::string& place) {
    owner_.Place = place;
    ui_->Label1->setText(QString::fromStdString(place));
}

void showOptionsDialog(QWidget& owner, kvr::OptionsTarget target) {
    TForm2 dialog(owner, std::move(target));  // freed on every way out of here
    dialog.loadSettings();
    centreOver(dialog, owner);
    dialog.exec();
}
