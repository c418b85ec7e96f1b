#pragma once
// The options dialog (TForm2): output folder, JPEG quality step, file-name prefix.
#include <QDialog>
#include <memory>
#include <string>

#include "base/screen_source.h"
#include "core/choices.h"

class QButtonGroup;
namespace kvr {
class LosslessFormatPage;
}
namespace Ui {
class TForm2;
}

namespace kvr {
// The main window's choices that the options dialog reads and changes (it has no cancel: a folder
// chosen changes the main window at once), and where the settings file is.
struct OptionsTarget {
    std::string& Place;
    std::string& FileName;
    bool& FileNameCheck;
    bool& OptFlag;  // the dialog may act on clicks of its folder choice
    std::string settingsPath;
    SaveFormat& Lossless;  // BMP, PNG or WebP, for the second "Save Type" button
    // The session's source, for the capture choices it refuses (none refused without one).
    const ScreenSource* source = nullptr;
};
class CapturePage;
}  // namespace kvr

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // Owned by the main window; the layout comes from opt.ui.
    TForm2(QWidget& owner, kvr::OptionsTarget target);
    ~TForm2() override;

    // Fills the controls from kvr.ini and the main window. OptFlag stays clear until the dialog
    // is activated, so selecting the saved folder choice never opens the folder chooser.
    void loadSettings();

    // Handlers bound to the controls' events.
    void FormActivate();
    void RadioGroup1Click(int itemIndex);
    void TrackBar1Change();
    void ComboBox1Change();
    void CheckBox1Click();
    // "閉じる": writes flg, place, qualityrange, filenamecheck, filename, hands the prefix
    // settings to the main window and closes. A refused write raises KvrError and leaves the
    // dialog open with the main window untouched.
    void SpeedButton1Click();

    // The radio group's selected item, -1 for none.
    int radioItemIndex() const;

public slots:
    // Esc and the window manager's close: as "閉じる".
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void fitTabs();
    void paintCaption(bool active);
    void selectRadioItem(int itemIndex);
    void setPlace(const std::string& place);

    kvr::OptionsTarget owner_;
    std::unique_ptr<Ui::TForm2> ui_;
    QButtonGroup* radioGroup_;
    std::unique_ptr<kvr::LosslessFormatPage> format_;
    kvr::CapturePage* capturePage_;
    bool captionPressed_ = false;
    bool otherFolderChosen_ = false;  // "その他" was the choice when it was pressed
};

// "Opt": creates the dialog owned by the main window, loads it, shows it modally, frees it.
void showOptionsDialog(QWidget& owner, kvr::OptionsTarget target);
