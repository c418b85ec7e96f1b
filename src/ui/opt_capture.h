#pragma once
// The options dialog's "撮影" page: which monitor a whole-screen shot covers, the pointer, the
// clipboard, the countdown on screen, the last region again. A choice the session's source cannot
// honour is shown disabled, with the source's reason as its tooltip and accessible description.
#include <QWidget>

#include "core/choices.h"

class QCheckBox;
class QComboBox;
class QTabWidget;

namespace kvr {

class Settings;

class CapturePage : public QWidget {
public:
    // Added as the last page of tabs; laid out for 96 dpi like the dialog's own pages.
    CapturePage(QTabWidget& tabs, const ScreenSource* source);

    void load(const Settings& settings);
    CaptureChoices choices() const;
    // Its controls in keyboard order.
    QWidget* first() const;
    QWidget* last() const;

private:
    CaptureChoices saved_;
    QComboBox* monitor_;
    QCheckBox* pointer_;
    QCheckBox* clipboard_;
    QCheckBox* countdown_;
    QCheckBox* lastRegion_;
};

}  // namespace kvr
