#pragma once
// The main window (TForm1): capture choices, self-timer, and the buttons for Opt, Inf and exit.
// Skeleton: the members below are the contract the dialogs rely on; the window itself is being
// built in main.cpp / main.ui.
#include <QWidget>
#include <string>

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Capture choices the options dialog changes (UTF-8).
    std::string Place;
    std::string FileName;
    bool FileNameCheck = false;
    // The options dialog may act on clicks of its folder choice.
    bool OptFlag = true;

    // The read-only timer box never shows a text cursor; kept as a named step for the callers.
    void hideTimerCaret();
};
