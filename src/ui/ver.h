#pragma once
// The About box (TAboutBox): version and two links.
#include <QDialog>
#include <memory>

class QLabel;
namespace Ui {
class TAboutBox;
}

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // Owned by the main window; the layout comes from ver.ui.
    explicit TAboutBox(QWidget& owner);
    ~TAboutBox() override;

    // Handlers; the last three are shared by the two link labels.
    void SpeedButton1Click();
    void LabelMouseEnter(QLabel& label);
    void LabelMouseLeave(QLabel& label);
    void LabelClick(QLabel& label);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::unique_ptr<Ui::TAboutBox> ui_;
};

// The contact addresses the links open.
extern const char* const kContactMail;
extern const char* const kContactWeb;

// "Inf": creates the box owned by the main window, shows it modally, frees it.
void showAboutBox(QWidget& owner);
