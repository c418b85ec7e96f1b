#include "opt_capture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <algorithm>

#include "base/texts.h"
#include "core/settings.h"
#include "core/shot.h"
#include "translate.h"

namespace kvr {
namespace {

// The combo box's items, in the order of [Capture] monitor.
constexpr const char* kMonitorItems[] = {text::kMonitorPrimary, text::kMonitorUnderPointer,
                                         text::kMonitorAll};

const char* refusalOf(const ScreenSource* source, CaptureChoice choice) {
    return source ? source->refusal(choice) : nullptr;
}

void explainRefusal(QWidget& control, const char* reason) {
    control.setEnabled(false);
    control.setToolTip(translated(reason));
    control.setAccessibleDescription(translated(reason));
}

}  // namespace

CapturePage::CapturePage(QTabWidget& tabs, const ScreenSource* source)
    : QWidget(&tabs),
      monitor_(new QComboBox(this)),
      pointer_(new QCheckBox(translated(text::kIncludePointer), this)),
      clipboard_(new QCheckBox(translated(text::kCopyToClipboard), this)),
      countdown_(new QCheckBox(translated(text::kShowCountdown), this)),
      lastRegion_(new QCheckBox(translated(text::kUseLastRegion), this)) {
    setObjectName(QStringLiteral("TabSheetCapture"));
    auto* label = new QLabel(translated(text::kMonitorLabel), this);
    label->setGeometry(16, 4, 210, 14);
    label->setBuddy(monitor_);
    monitor_->setObjectName(QStringLiteral("MonitorBox"));
    monitor_->setAccessibleName(translated(text::kMonitorLabel));
    monitor_->setGeometry(16, 19, 210, 20);
    for (const char* item : kMonitorItems)
        monitor_->addItem(translated(item));
    // A refused item stays in the list, greyed, saying why.
    const CaptureChoice itemChoices[] = {CaptureChoice::MonitorUnderPointer,
                                         CaptureChoice::AllMonitors};
    auto* model = qobject_cast<QStandardItemModel*>(monitor_->model());
    for (int i = 0; i < 2; ++i)
        if (const char* reason = refusalOf(source, itemChoices[i]); reason && model) {
            QStandardItem* item = model->item(i + 1);
            item->setEnabled(false);
            item->setToolTip(translated(reason));
            item->setData(translated(reason), Qt::AccessibleDescriptionRole);
        }
    pointer_->setObjectName(QStringLiteral("PointerBox"));
    pointer_->setGeometry(16, 44, 210, 17);
    if (const char* reason = refusalOf(source, CaptureChoice::Pointer))
        explainRefusal(*pointer_, reason);
    clipboard_->setObjectName(QStringLiteral("ClipboardBox"));
    clipboard_->setGeometry(16, 61, 210, 17);
    countdown_->setObjectName(QStringLiteral("CountdownBox"));
    countdown_->setGeometry(16, 78, 210, 17);
    lastRegion_->setObjectName(QStringLiteral("LastRegionBox"));
    lastRegion_->setGeometry(16, 95, 210, 17);
    if (source && (desktopChoosesRegion(*source) || source->monitorPlaces().empty()))
        explainRefusal(*lastRegion_, text::kRegionUnsupported);
    setTabOrder(monitor_, pointer_);
    setTabOrder(pointer_, clipboard_);
    setTabOrder(clipboard_, countdown_);
    setTabOrder(countdown_, lastRegion_);
    tabs.addTab(this, translated(text::kCapturePage));
}

void CapturePage::load(const Settings& settings) {
    saved_ = readCaptureChoices(settings);
    const CaptureChoices& saved = saved_;
    int item = int(saved.monitor);
    auto* model = qobject_cast<QStandardItemModel*>(monitor_->model());
    if (model && !model->item(item)->isEnabled())
        item = 0;  // what a shot does with a refused choice
    monitor_->setCurrentIndex(item);
    pointer_->setChecked(saved.pointer && pointer_->isEnabled());
    clipboard_->setChecked(saved.clipboard);
    countdown_->setChecked(saved.countdown);
    lastRegion_->setChecked(saved.lastRegion && lastRegion_->isEnabled());
}

CaptureChoices CapturePage::choices() const {
    // A choice this session refuses keeps its saved value, for the desktop that can honour it.
    CaptureChoices c;
    c.monitor = MonitorChoice(std::clamp(monitor_->currentIndex(), 0, 2));
    if (c.monitor == MonitorChoice::Primary && saved_.monitor != MonitorChoice::Primary) {
        auto* model = qobject_cast<QStandardItemModel*>(monitor_->model());
        if (model && !model->item(int(saved_.monitor))->isEnabled())
            c.monitor = saved_.monitor;
    }
    c.pointer = pointer_->isEnabled() ? pointer_->isChecked() : saved_.pointer;
    c.clipboard = clipboard_->isChecked();
    c.countdown = countdown_->isChecked();
    c.lastRegion = lastRegion_->isEnabled() ? lastRegion_->isChecked() : saved_.lastRegion;
    return c;
}

QWidget* CapturePage::first() const {
    return monitor_;
}

QWidget* CapturePage::last() const {
    return lastRegion_;
}

}  // namespace kvr
