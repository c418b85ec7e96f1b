#include "main.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSessionManager>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <string>

#include "access.h"
#include "app.h"
#include "base/error.h"
#include "base/texts.h"
#include "clipboard.h"
#include "core/desktop.h"
#include "core/kernel.h"
#include "core/settings.h"
#include "core/shot.h"
#include "dialog_place.h"
#include "errorbox.h"
#include "layoutscale.h"
#include "notify.h"
#include "opt.h"
#include "pictures.h"
#include "region_select.h"
#include "taskbar_progress.h"
#include "translate.h"
#include "ui_main.h"
#include "ver.h"

namespace {

const QString kIdleTitle = QString::fromUtf8(kvr::text::kTitle);
// How often, and how far apart, the window checks that it really came back after a shot.
constexpr int kComeBackChecks = 8;
constexpr int kComeBackCheckMs = 250;
// Putting it back where it stood: a busy window manager may take seconds to map it again.
constexpr int kPlaceChecks = 24;

QString countdownTitle(int seconds) {
    return kvr::fillTranslated(kvr::text::kCountdown, {QString::number(seconds)});
}

// How often the countdown looks whether the window was brought back.
constexpr int kComeBackWatchMs = 100;

// Page Up and Page Down move the timer this many seconds.
constexpr int kTimerPage = 5;

}  // namespace

TForm1::TForm1(const kvr::MainWindowServices& services, QWidget* parent)
    : QWidget(parent),
      Timer1(new QTimer(this)),
      services_(services),
      ui_(new Ui::TForm1),
      comeBackWatch_(new QTimer(this)) {
    ui_->setupUi(this);
    ui_->SpeedButtonRGN->setText(kvr::translated(kvr::text::kRegion));
    ui_->SpeedButtonRGN->setToolTip(kvr::translated(kvr::text::kRegionHint));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    using kvr::runHandler;
    connect(ui_->SpeedButtonSHOT, &QToolButton::clicked, this,
            [this] { runHandler([this] { ShotBtnClick(); }); });
    connect(ui_->SpeedButtonEXIT, &QToolButton::clicked, this,
            [this] { runHandler([this] { ExitBtnClick(); }); });
    connect(ui_->SpeedButtonOpt, &QToolButton::clicked, this,
            [this] { runHandler([this] { SpeedButtonOptClick(); }); });
    connect(ui_->SpeedButtonInf, &QToolButton::clicked, this,
            [this] { runHandler([this] { SpeedButtonInfClick(); }); });
    connect(ui_->UpDown1, &kvr::UpDown::positionChanged, this,
            [this](int position) { runHandler([this, position] { UpDown1Click(position); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { runHandler([this] { Timer1Timer(); }); });
    // Brought back from the taskbar during the countdown, the window offers to stop it at once.
    comeBackWatch_->setInterval(kComeBackWatchMs);
    connect(comeBackWatch_, &QTimer::timeout, this, [this] {
        runHandler([this] {
            watchForComeBack();
            if (cancelOffered_ || !Timer1->isActive())
                comeBackWatch_->stop();
        });
    });
    // Esc in the window stops a countdown; at rest it does nothing.
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (Timer1->isActive())
            runHandler([this] { CancelCountdown(); });
    });
    ui_->Image2->installEventFilter(this);
    ui_->Edit1->installEventFilter(this);
    // Closed by the session: the choices are kept as "×" keeps them.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (manager.allowsErrorInteraction())
            kvr::runHandler([this] { saveChoices(); });
        else
            try {
                saveChoices();
            } catch (...) {
            }
    });

    // Ended by a signal (the session's end on desktops without a session manager, a kill):
    // the same.
    kvr::onEndSignals(this, [this] { endKeepingChoices(); });

    kvr::applyLayout(*this, kvr::layoutScale());
    kvr::fitCaptions(*this);
    kvr::setSharpPicture(*ui_->Image2, QStringLiteral(":/background.jpg"));
    // Tab goes through the controls as they are read: the choices, the timer, then the buttons.
    QWidget* order[] = {ui_->SpeedButtonACT, ui_->SpeedButtonALL, ui_->SpeedButtonRGN,
                        ui_->Edit1,          ui_->SpeedButtonJPG, ui_->SpeedButtonBMP,
                        ui_->SpeedButtonOpt, ui_->SpeedButtonInf, ui_->SpeedButtonSHOT,
                        ui_->SpeedButtonEXIT};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    kvr::enableKeyboard(*this);
    // A fixed size: tiling compositors float such a window at its own size instead of stretching
    // it over the screen.
    setFixedSize(size());
    centreOnPrimaryScreen(*this);
    kvr::KvrApplication::setTitleWindow(this);
    // An error here is shown and creation goes on, as with any handler.
    runHandler([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    OptFlag = true;
    if (!kvr::isSupportedKernel(kvr::kernelName())) {
        kvr::showErrorBox(kvr::translated(kvr::text::kUnsupportedOs));
        // Ends the program once the message loop runs; creation goes on meanwhile.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    const kvr::StartupSettings settings =
        kvr::readStartupSettings(kvr::Settings(services_.settingsPath));
    Place = settings.Place;
    FileName = settings.FileName;
    FileNameCheck = settings.FileNameCheck;
    // "Error" marks an unset folder: the desktop, not written back.
    if (Place == "Error")
        Place = kvr::desktopFolder();
    const kvr::ShotMode saved = kvr::shotModeSaved(settings.type);
    QToolButton* mode = saved == kvr::ShotMode::ActiveWindow ? ui_->SpeedButtonACT
                        : saved == kvr::ShotMode::Region     ? ui_->SpeedButtonRGN
                                                             : ui_->SpeedButtonALL;
    mode->setChecked(true);
    // The window opens with the focus on the choice made, not on the pair's first button.
    mode->setFocus(Qt::OtherFocusReason);
    (settings.save == 0 ? ui_->SpeedButtonJPG : ui_->SpeedButtonBMP)->setChecked(true);
    ui_->Edit1->setText(QString::number(settings.timer));
    ui_->UpDown1->setPosition(static_cast<int16_t>(settings.timer));
    Lossless = settings.lossless;
    showLosslessFormat();
}

void TForm1::showLosslessFormat() {
    ui_->SpeedButtonBMP->setText(Lossless == kvr::SaveFormat::Webp
                                     ? QStringLiteral("WebP")
                                     : QString::fromLatin1(kvr::formatOf(Lossless).name).toUpper());
    ui_->SpeedButtonBMP->setToolTip(QCoreApplication::translate(
        "TForm1", Lossless == kvr::SaveFormat::Webp  ? "webp形式で保存"
                  : Lossless == kvr::SaveFormat::Png ? "png形式で保存"
                                                     : "bmp形式で保存"));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit1 && event->type() == QEvent::KeyPress) {
        // The timer box is read-only: the keys move it as its arrows do, within their range.
        int steps = 0;
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
                steps = 1;
                break;
            case Qt::Key_Down:
                steps = -1;
                break;
            case Qt::Key_PageUp:
                steps = kTimerPage;
                break;
            case Qt::Key_PageDown:
                steps = -kTimerPage;
                break;
            default:
                break;
        }
        if (steps != 0) {
            for (int i = 0; i < std::abs(steps); ++i)
                ui_->UpDown1->step(steps > 0);
            return true;
        }
    }
    // Only a mouse event is one: the picture also gets font, paint and other events.
    if (watched == ui_->Image2 &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress)
            kvr::runHandler([this, mouse] { FormMouseDown(mouse); });
        else
            kvr::runHandler([this, mouse] { FormMouseMove(mouse); });
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormMouseDown(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    MouseX = p.x();
    MouseY = p.y();
    MouseDownFlag = true;
}

void TForm1::FormMouseMove(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || !MouseDownFlag)
        return;
    if (p.x() == MouseX && p.y() == MouseY)
        return;
    MouseDownFlag = false;
    // The window manager moves the window with the pointer until the button is released.
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

void TForm1::UpDown1Click(int position) {
    setTimerText(position);
}

void TForm1::setTimerText(int32_t seconds) {
    ui_->Edit1->setText(QString::number(seconds));
    // Screen readers say the new value.
    QAccessibleValueChangeEvent changed(ui_->Edit1, seconds);
    QAccessible::updateAccessibility(&changed);
}

void TForm1::saveChoices() {
    kvr::Settings settings(services_.settingsPath);
    kvr::writeExitSettings(
        settings, shotChoices().mode,
        ui_->SpeedButtonJPG->isChecked() ? kvr::SaveFormat::Jpeg : kvr::SaveFormat::Bmp,
        ui_->Edit1->text().toStdString());
}

void TForm1::ExitBtnClick() {
    saveChoices();      // a refused write keeps the program open
    exitSaved_ = true;  // quitting closes the window: no second write then
    QCoreApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* event) {
    endKeepingChoices();
    event->accept();
}

void TForm1::endKeepingChoices() {
    // The window manager asked (Alt+F4, a taskbar's close) or a signal came: the choices are
    // kept as "×" keeps them; a refused write is shown, and the program still ends.
    if (ending_)
        return;  // a second request while the refusal is shown
    ending_ = true;
    if (Timer1->isActive())
        kvr::clearTaskbarProgress();
    Timer1->stop();
    badge_.reset();
    if (!exitSaved_)
        kvr::runHandler([this] { saveChoices(); });
    QCoreApplication::quit();
}

void TForm1::SpeedButtonOptClick() {
    showOptionsDialog(*this, optionsTarget());
    showLosslessFormat();
}

void TForm1::SpeedButtonInfClick() {
    showAboutBox(*this);
}

void TForm1::ShotBtnClick() {
    if (Timer1->isActive()) {
        CancelCountdown();  // "中止 (N)"
        return;
    }
    // A hand-edited timer of 0 would count 256 seconds and one above 255 would lose its high
    // bits: the countdown keeps to what an 8-bit count can say.
    const int32_t seconds = std::clamp(kvr::parseInteger(ui_->Edit1->text().toStdString()), 1, 255);
    if (QString::number(seconds) != ui_->Edit1->text())
        setTimerText(seconds);
    // What the desktop asks before its first picture is asked now, not in the picture; a refusal
    // is shown before the countdown starts.
    kvr::ShotRequest request;
    request.mode = kvr::shotRequest(services_.source, shotChoices()).mode;
    if (shotChoices().mode == kvr::ShotMode::Region && !kvr::regionPossible(services_.source))
        throw kvr::KvrError(kvr::text::kRegionUnsupported, {});
    services_.source.prepare(request);
    // The seconds on screen, at a corner of the monitor to be taken, unless turned off.
    badge_.reset();
    const kvr::CaptureChoices capture =
        kvr::readCaptureChoices(kvr::Settings(services_.settingsPath));
    if (capture.countdown && services_.makeBadge) {
        kvr::ShotRequest where = request;
        where.monitor = capture.monitor;
        badge_ = services_.makeBadge(where);
    }
    TimerCount = static_cast<uint8_t>(seconds);
    cancelOffered_ = false;
    seenOffScreen_ = false;
    ui_->SpeedButtonSHOT->setEnabled(false);
    if (badge_)
        badge_->show(TimerCount);
    countdownSeconds_ = seconds;
    kvr::showTaskbarProgress(0);
    kvr::KvrApplication::setTitle(countdownTitle(TimerCount));
    leaveScreenForCountdown();
    Timer1->start();
    comeBackWatch_->start();
}

void TForm1::Timer1Timer() {
    --TimerCount;
    if (TimerCount != 0) {
        // The last tick leaves this to ShotNow, right before the grab; a window brought back to
        // stop the count stays till then.
        watchForComeBack();
        if (!cancelOffered_)
            keepOutOfPicture();
        if (badge_)
            badge_->show(TimerCount);
        kvr::showTaskbarProgress(double(countdownSeconds_ - TimerCount) / countdownSeconds_);
        kvr::KvrApplication::setTitle(countdownTitle(TimerCount));
        showShotButton();
        return;
    }
    // Out of the picture before the taskbar says "撮影中" (a window brought back to stop the count
    // is still on screen).
    keepOutOfPicture();
    services_.windowManager.flush();
    removeBadge();
    kvr::clearTaskbarProgress();
    kvr::KvrApplication::setTitle(kvr::translated(kvr::text::kShooting));
    Timer1->stop();
    comeBackWatch_->stop();
    cancelOffered_ = false;
    showShotButton();
    ui_->SpeedButtonSHOT->setEnabled(false);
    // Back to idle whatever the shot did; its error is shown after, by the top-level handler.
    struct BackToIdle {
        TForm1& form;
        ~BackToIdle() {
            form.ui_->SpeedButtonSHOT->setEnabled(true);
            // Disabling it moved the focus on (to "×"); the next Space takes another shot.
            form.ui_->SpeedButtonSHOT->setFocus(Qt::OtherFocusReason);
            form.comeBackAfterCountdown();
            kvr::KvrApplication::setTitle(kIdleTitle);
        }
    } backToIdle{*this};
    ShotNow();
}

void TForm1::CancelCountdown() {
    if (!Timer1->isActive())
        return;
    Timer1->stop();
    comeBackWatch_->stop();
    badge_.reset();  // gone with its window; no grab follows to wait for
    kvr::clearTaskbarProgress();
    cancelOffered_ = false;
    showShotButton();
    ui_->SpeedButtonSHOT->setEnabled(true);
    kvr::KvrApplication::setTitle(kIdleTitle);
    comeBackAfterCountdown();
    ui_->SpeedButtonSHOT->setFocus(Qt::OtherFocusReason);
}

void TForm1::watchForComeBack() {
    if (!Timer1->isActive() || cancelOffered_ || !minimisedForCountdown_ || hiddenForCountdown_)
        return;
    kvr::WindowManager& manager = services_.windowManager;
    // Only once it has been off the screen: till the window manager acts on the minimise, the
    // window is still on screen and active.
    if (!seenOffScreen_) {
        seenOffScreen_ = manager.offScreen(winId());
        return;
    }
    if (isVisible() && !manager.offScreen(winId()) &&
        (manager.active(winId()) || (isActiveWindow() && !isMinimized())))
        offerCancel();
}

void TForm1::offerCancel() {
    cancelOffered_ = true;
    showShotButton();
    ui_->SpeedButtonSHOT->setEnabled(true);
}

void TForm1::showShotButton() {
    QToolButton& shot = *ui_->SpeedButtonSHOT;
    if (cancelOffered_) {
        shot.setText(
            kvr::fillTranslated(kvr::text::kCancelCountdown, {QString::number(TimerCount)}));
        shot.setAccessibleName(kvr::translated(kvr::text::kCancelCountdownName));
    } else {
        shot.setText(QStringLiteral("Shot"));
        shot.setAccessibleName(QCoreApplication::translate("TForm1", "セルフタイマーの後に撮影"));
    }
}

void TForm1::removeBadge() {
    if (!badge_)
        return;
    badge_->remove();
    badge_.reset();
}

void TForm1::leaveScreenForCountdown() {
    hiddenForCountdown_ = false;
    minimisedForCountdown_ = false;
    services_.windowManager.rememberPlace(winId());
    if (services_.windowManager.honoursMinimise()) {
        minimisedForCountdown_ = true;
        showMinimized();
    } else
        hideForCountdown();
}

void TForm1::hideForCountdown() {
    if (hiddenForCountdown_)
        return;
    hiddenForCountdown_ = true;
    // While hidden, closing a message box (the 100-name box) would leave no visible window, and
    // the toolkit would end the program.
    quitOnLastWindowClosed_ = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Hidden, not minimised: left minimised in the toolkit's eyes, the window would come back
    // iconic (or be mapped by the toolkit while hidden).
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
}

void TForm1::keepOutOfPicture() {
    if (hiddenForCountdown_)
        return;
    // A window manager may announce itself and still leave the window on screen; the server,
    // not the toolkit, says where the window is.
    if (!services_.windowManager.offScreen(winId()))
        hideForCountdown();
}

void TForm1::comeBackAfterCountdown() {
    // Where a minimised window cannot be asked back, it is shown afresh: the compositor maps it
    // as a new window, on screen and active.
    if (minimisedForCountdown_ && !hiddenForCountdown_ &&
        !services_.windowManager.restoresMinimised()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
    }
    minimisedForCountdown_ = false;
    // Shows a hidden window too, clearing a minimised state the window manager never acted on.
    showNormal();
    if (hiddenForCountdown_) {
        QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed_);
        hiddenForCountdown_ = false;
    }
    raise();
    activateWindow();
    ensureBackOnScreen(kComeBackChecks);
    restorePlace(kPlaceChecks);
}

void TForm1::restorePlace(int checksLeft) {
    // The desktop places a window shown again as it likes (sway in the middle, i3 off by its
    // frame): it goes back where it stood once the desktop has it on screen.
    QTimer::singleShot(checksLeft == kPlaceChecks ? 0 : kComeBackCheckMs, this, [this, checksLeft] {
        if (Timer1->isActive())
            return;  // the next shot's countdown
        if (!services_.windowManager.restorePlace(winId()) && checksLeft > 1)
            restorePlace(checksLeft - 1);
    });
}

void TForm1::ensureBackOnScreen(int checksLeft) {
    // The window manager may still act on an older minimise after the restore (a race under
    // load); the server says whether the window really came back.
    QTimer::singleShot(kComeBackCheckMs, this, [this, checksLeft] {
        if (Timer1->isActive() || !isVisible() || !services_.windowManager.offScreen(winId()))
            return;
        if (isMinimized())
            showNormal();
        services_.windowManager.activate(winId());
        if (checksLeft > 1)
            ensureBackOnScreen(checksLeft - 1);
    });
}

kvr::ShotChoices TForm1::shotChoices() const {
    kvr::ShotChoices choices;
    choices.mode = ui_->SpeedButtonALL->isChecked()   ? kvr::ShotMode::AllScreen
                   : ui_->SpeedButtonRGN->isChecked() ? kvr::ShotMode::Region
                                                      : kvr::ShotMode::ActiveWindow;
    choices.format = ui_->SpeedButtonBMP->isChecked() ? Lossless : kvr::SaveFormat::Jpeg;
    choices.Place = Place;
    choices.FileName = FileName;
    choices.FileNameCheck = FileNameCheck;
    return choices;
}

kvr::OptionsTarget TForm1::optionsTarget() {
    return {Place,    FileName,         FileNameCheck, OptFlag, services_.settingsPath,
            Lossless, &services_.source};
}

bool TForm1::regionShot(const kvr::ShotChoices& choices, const kvr::JpegOptions& jpeg,
                        kvr::ShotOutcome& outcome) {
    kvr::ScreenSource& source = services_.source;
    const kvr::Picture whole = source.grab(kvr::shotRequest(source, choices));
    if (kvr::desktopChoosesRegion(source)) {
        outcome = kvr::saveNumbered(whole, choices, jpeg);
        outcome.picture = whole;
        return true;
    }
    const std::vector<kvr::MonitorPlace> monitors = source.monitorPlaces();
    if (monitors.empty())  // asked once: each question is a round trip to the compositor
        throw kvr::KvrError(kvr::text::kRegionUnsupported, {});
    const std::string layout = kvr::layoutText(monitors);
    kvr::Settings settings(services_.settingsPath);
    // The last rectangle again, unless the monitors have changed since.
    std::optional<kvr::ScreenRect> region;
    if (choices.capture.lastRegion)
        if (const auto saved = kvr::readSavedRegion(settings); saved && saved->layout == layout)
            region = kvr::regionOnMonitors(saved->rect, monitors, whole.width, whole.height);
    const bool chosenNow = !region;
    if (chosenNow)
        region = kvr::selectRegion(whole, monitors, source.windowFrames(),
                                   [&source] { return source.pointerInPicture(); });
    if (!region)
        return false;
    const kvr::Picture cut = kvr::cutRegion(whole, *region);
    outcome = kvr::saveNumbered(cut, choices, jpeg);
    outcome.picture = cut;
    // Kept once the file is written: a refused settings write is shown after it.
    if (chosenNow && outcome.result == kvr::ShotResult::Written)
        kvr::writeSavedRegion(settings, {*region, layout});
    return true;
}

void TForm1::ShotNow() {
    keepOutOfPicture();
    // One round trip before the grab: the window is gone from the screen, and the taskbar shows
    // "撮影中" during the grab, not after it.
    services_.windowManager.flush();
    // The capture choices, and quality and grey at a JPEG shot, are read at each shot, so a hand
    // edit shows at the next one.
    const kvr::Settings settings(services_.settingsPath);
    kvr::ShotChoices choices = shotChoices();
    choices.capture = kvr::readCaptureChoices(settings);
    kvr::JpegOptions jpeg;
    if (choices.format == kvr::SaveFormat::Jpeg)
        jpeg = kvr::readJpegOptions(settings);
    kvr::ShotOutcome outcome;
    try {
        if (choices.mode == kvr::ShotMode::Region) {
            if (!regionShot(choices, jpeg, outcome))
                return;  // cancelled: no file, nothing to say
        } else {
            outcome = kvr::shotNow(services_.source, choices, jpeg);
        }
    } catch (const kvr::ShotCancelled&) {
        return;  // called off in the desktop's own dialog: no file, nothing to say
    }
    // Shown while the program is still minimised during a shot; the box has no parent.
    if (outcome.result == kvr::ShotResult::NoFreeName) {
        kvr::showErrorBox(
            kvr::fillTranslated(kvr::text::kNoFreeName, {QString::fromStdString(choices.Place)}));
        return;
    }
    if (choices.capture.clipboard)
        kvr::copyShotWhenActive(*this, kvr::imageOfPicture(outcome.picture),
                                QString::fromStdString(outcome.path));
    // Told once the window is back: the notification never holds up the shot or the return.
    QTimer::singleShot(0, this,
                       [path = QString::fromStdString(outcome.path)] { kvr::announceShot(path); });
}
