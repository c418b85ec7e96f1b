#pragma once
// The main window (TForm1): capture choices, self-timer, and the buttons for Opt, Inf and exit.
// Its layout is main.ui; the controls keep the layout's names (findChild finds them).
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/countdown_badge.h"
#include "base/screen_source.h"
#include "base/window_manager.h"
#include "core/choices.h"
#include "core/shot.h"
#include "opt.h"

class QMouseEvent;
class QTimer;
namespace Ui {
class TForm1;
}

namespace kvr {
// What the main window works with, made by the program's entry: where the pixels come from, what
// the desktop's window manager does, and the settings file.
struct MainWindowServices {
    ScreenSource& source;
    WindowManager& windowManager;
    std::string settingsPath;
    // The countdown's badge for a shot, where the session can show one (may be empty).
    std::function<std::unique_ptr<CountdownBadge>(const ShotRequest&)> makeBadge;
};
}  // namespace kvr

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // FormCreate runs here: platform check, settings, layout scaled to the display.
    explicit TForm1(const kvr::MainWindowServices& services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Capture choices the options dialog changes (UTF-8).
    std::string Place;
    std::string FileName;
    bool FileNameCheck = false;
    // The options dialog may act on clicks of its folder choice.
    bool OptFlag = true;
    // The lossless format the second "Save Type" button writes: BMP, PNG or WebP.
    kvr::SaveFormat Lossless = kvr::SaveFormat::Bmp;

    // Background drag and countdown state.
    int32_t MouseX = 0;
    int32_t MouseY = 0;
    bool MouseDownFlag = false;
    uint8_t TimerCount = 0;  // 8 bits, as the countdown has always been
    QTimer* Timer1;

    // Handlers bound to the controls (errors they raise reach the top-level handler).
    void FormCreate();
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void UpDown1Click(int position);
    void ExitBtnClick();
    void SpeedButtonOptClick();
    void SpeedButtonInfClick();
    void ShotBtnClick();
    void Timer1Timer();
    // Stops a running countdown: no grab, no file, the window back as it was.
    void CancelCountdown();

    // The shot, fed with this window's choices; shows the box when no name is free.
    void ShotNow();
    kvr::ShotChoices shotChoices() const;
    // Region: the picture of every monitor, cut to the rectangle chosen on it (or the last one);
    // false when the person cancelled.
    bool regionShot(const kvr::ShotChoices& choices, const kvr::JpegOptions& jpeg,
                    kvr::ShotOutcome& outcome);
    // What the options dialog reads and changes of this window.
    kvr::OptionsTarget optionsTarget();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closed by the window manager or the session: saves the choices as "×" does, then ends.
    void closeEvent(QCloseEvent* event) override;

private:
    void setTimerText(int32_t seconds);
    // "Shot" as it reads at rest, or as "中止 (N)" while a countdown can be stopped.
    void showShotButton();
    // Brought back during the countdown (from the taskbar): on screen and active again, it stays
    // until the grab and "Shot" becomes the way to stop the count.
    void watchForComeBack();
    void offerCancel();
    // The second "Save Type" button reads "BMP" or "PNG", as it writes.
    void showLosslessFormat();
    // Writes type, save and timer to kvr.ini; raises KvrError when the write is refused.
    void saveChoices();
    // Saves as "×" does unless it already has (a refusal is shown), then ends the program.
    void endKeepingChoices();
    void leaveScreenForCountdown();
    // Takes the badge off the screen; before a grab, it returns once the screen shows it gone.
    void removeBadge();
    void comeBackAfterCountdown();
    void ensureBackOnScreen(int checksLeft);
    void restorePlace(int checksLeft);
    void hideForCountdown();
    // Hides the window unless the server reports it minimised or unmapped.
    void keepOutOfPicture();

    kvr::MainWindowServices services_;
    std::unique_ptr<Ui::TForm1> ui_;
    bool hiddenForCountdown_ = false;     // hidden instead of minimised (no window manager)
    bool minimisedForCountdown_ = false;  // minimised by us for this countdown
    bool cancelOffered_ = false;          // back on screen during the countdown, "中止 (N)"
    bool seenOffScreen_ = false;          // the minimise of this countdown has taken effect
    int32_t countdownSeconds_ = 0;        // what the running countdown started from
    QTimer* comeBackWatch_;
    std::unique_ptr<kvr::CountdownBadge> badge_;  // on screen during a countdown
    bool exitSaved_ = false;  // "×" has saved the choices and is ending the program
    bool ending_ = false;     // a close or a signal is ending the program
    bool quitOnLastWindowClosed_ = true;
};
