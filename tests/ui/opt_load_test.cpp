// The options dialog filled from kvr.ini and the main window, and its quality and prefix
// controls, on a real X server with openbox.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "base/texts.h"
#include "core/desktop.h"
#include "dialog_test_support.h"
#include "fake_source.h"
#include "main.h"
#include "opt.h"
#include "process.h"

namespace {

using kvr::test::Process;
using kvr::test::writeIni;

class OptLoad : public kvr::test::OptDialogTest {
protected:
    QString quality() { return find<QLabel>("StaticText1").text(); }
    int slider() { return find<QSlider>("TrackBar1").value(); }
    QString listItem() { return find<QComboBox>("ComboBox1").currentText(); }
    QColor prefixBoxColour() {
        return find<QLineEdit>("Edit1").palette().color(QPalette::Disabled, QPalette::Base);
    }
};

TEST_F(OptLoad, FirstOpeningWithoutIniShowsTheDefaults) {
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(find<QTabWidget>("PageControl1").currentIndex(), 0);
    EXPECT_TRUE(find<QRadioButton>("RadioGroup1Item0").isChecked());
    EXPECT_EQ(form->radioItemIndex(), 0);
    // The main window started without kvr.ini, so its output folder is the desktop.
    EXPECT_EQ(owner.Place, kvr::desktopFolder());
    EXPECT_EQ(find<QLabel>("Label1").text(), QString::fromStdString(owner.Place));
    EXPECT_EQ(slider(), 3);
    EXPECT_EQ(quality(), "3");
    EXPECT_EQ(listItem(), QStringLiteral("標準"));
    EXPECT_FALSE(find<QCheckBox>("CheckBox1").isChecked());
    auto& edit = find<QLineEdit>("Edit1");
    EXPECT_TRUE(edit.text().isEmpty());
    EXPECT_FALSE(edit.isEnabled());
    EXPECT_EQ(edit.palette().color(QPalette::Disabled, QPalette::Base), QColor(192, 192, 192));
    EXPECT_TRUE(owner.OptFlag) << "activation lets the folder choice act again";
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(kvr::test::iniPath())))
        << "opening writes nothing";
}

TEST_F(OptLoad, CapturePageIsTheLastTabWithTheSavedChoices) {
    open();
    auto& tabs = find<QTabWidget>("PageControl1");
    ASSERT_EQ(tabs.count(), 5);
    EXPECT_EQ(tabs.tabText(4), QStringLiteral("撮影"));
    auto& monitor = find<QComboBox>("MonitorBox");
    EXPECT_EQ(monitor.accessibleName(), QStringLiteral("全画面のモニター"));
    EXPECT_EQ(monitor.currentIndex(), 0);
    EXPECT_FALSE(find<QCheckBox>("PointerBox").isChecked());
    EXPECT_TRUE(find<QCheckBox>("PointerBox").isEnabled()) << "X11 draws the pointer";
    EXPECT_FALSE(find<QCheckBox>("ClipboardBox").isChecked());
    EXPECT_TRUE(find<QCheckBox>("CountdownBox").isChecked()) << "the badge is on by default";
    EXPECT_EQ(find<QCheckBox>("CountdownBox").text(),
              QStringLiteral("画面にカウントダウンを表示する"));
    // The keyboard goes from the prefix box through the format page to this page's controls.
    QWidget* next = find<QLineEdit>("Edit1").nextInFocusChain();
    for (int stop = 0; stop < 4 && next != &monitor; ++stop)
        next = next->nextInFocusChain();
    EXPECT_EQ(next, &monitor);

    auto& lastRegion = find<QCheckBox>("LastRegionBox");
    EXPECT_EQ(lastRegion.text(), QStringLiteral("前回の範囲を使う"));
    EXPECT_FALSE(lastRegion.isChecked());
    EXPECT_TRUE(lastRegion.isEnabled()) << "X11 places its monitors";
    EXPECT_EQ(find<QCheckBox>("CountdownBox").nextInFocusChain(), &lastRegion);
    // The last control ends above the bottom of the tab widget (a page is its height less the
    // tab bar's), so it is seen.
    const int pageHeight = tabs.height() - tabs.tabBar()->sizeHint().height();
    EXPECT_LE(lastRegion.geometry().bottom(), pageHeight) << pageHeight;

    writeIni("[Capture]\nmonitor=2\npointer=1\nclipboard=1\ncountdown=0\nlastregion=1\n");
    open();
    EXPECT_EQ(find<QComboBox>("MonitorBox").currentIndex(), 2);
    EXPECT_TRUE(find<QCheckBox>("PointerBox").isChecked());
    EXPECT_TRUE(find<QCheckBox>("ClipboardBox").isChecked());
    EXPECT_FALSE(find<QCheckBox>("CountdownBox").isChecked());
    EXPECT_TRUE(find<QCheckBox>("LastRegionBox").isChecked());
}

TEST_F(OptLoad, ChoicesTheSourceRefusesAreDisabledWithTheReason) {
    writeIni("[Capture]\nmonitor=1\npointer=1\nlastregion=1\n");
    kvr::test::FakeScreenSource source(kvr::test::bgrx(4, 4));
    source.refuse(kvr::CaptureChoice::MonitorUnderPointer, kvr::text::kNoPointerMonitor);
    source.refuse(kvr::CaptureChoice::Pointer, kvr::text::kNoPointerPicture);
    kvr::OptionsTarget target = owner.optionsTarget();
    target.source = &source;
    form = std::make_unique<TForm2>(owner, target);
    form->loadSettings();
    auto& monitor = find<QComboBox>("MonitorBox");
    EXPECT_EQ(monitor.currentIndex(), 0) << "a refused choice shows what a shot does";
    const QModelIndex item = monitor.model()->index(1, 0);
    EXPECT_FALSE(monitor.model()->flags(item) & Qt::ItemIsEnabled);
    const QString reason = QString::fromUtf8(kvr::text::kNoPointerMonitor);
    EXPECT_EQ(item.data(Qt::ToolTipRole).toString(), reason);
    EXPECT_EQ(item.data(Qt::AccessibleDescriptionRole).toString(), reason);
    auto& pointer = find<QCheckBox>("PointerBox");
    EXPECT_FALSE(pointer.isEnabled());
    EXPECT_EQ(pointer.toolTip(), QString::fromUtf8(kvr::text::kNoPointerPicture));
    EXPECT_EQ(pointer.accessibleDescription(), QString::fromUtf8(kvr::text::kNoPointerPicture));
    // A source that cannot place its monitors offers no region to repeat.
    auto& lastRegion = find<QCheckBox>("LastRegionBox");
    EXPECT_FALSE(lastRegion.isEnabled());
    EXPECT_FALSE(lastRegion.isChecked());
    EXPECT_EQ(lastRegion.toolTip(), QString::fromUtf8(kvr::text::kRegionUnsupported));
    // Closing keeps what this desktop cannot honour, for one that can.
    form->SpeedButton1Click();
    const kvr::CaptureChoices kept = kvr::readCaptureChoices(kvr::Settings(kvr::test::iniPath()));
    EXPECT_EQ(kept.monitor, kvr::MonitorChoice::UnderPointer);
    EXPECT_TRUE(kept.pointer);
    EXPECT_TRUE(kept.lastRegion);
}

TEST_F(OptLoad, QualityFiveKeepsTheUntouchedNumberBox) {
    writeIni("[JPEG]\nqualityrange=5\n");
    open();
    EXPECT_EQ(slider(), 5);
    EXPECT_EQ(quality(), "5");
    EXPECT_EQ(listItem(), QStringLiteral("標準"));
}

TEST_F(OptLoad, QualityOutsideTheRangeGoesToTheNearerEnd) {
    writeIni("[JPEG]\nqualityrange=15\n");
    open();
    EXPECT_EQ(slider(), 10);
    EXPECT_EQ(quality(), "10");
    EXPECT_EQ(listItem(), QStringLiteral("最高画質(低圧縮率)"));
    writeIni("[JPEG]\nqualityrange=-4\n");
    open();
    EXPECT_EQ(slider(), 0);
    EXPECT_EQ(quality(), "0");
    EXPECT_EQ(listItem(), QStringLiteral("低画質(高圧縮率)"));
}

TEST_F(OptLoad, SavedFolderChoiceIsSelectedWithoutOpeningTheChooser) {
    int choosers = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* chooser = kvr::test::visibleTopLevel<QFileDialog>()) {
            ++choosers;
            chooser->reject();
        }
    });
    watch.start(20);
    owner.Place = "/srv/pictures";
    for (auto [flg, item] : {std::pair{"1", 1}, {"7", 1}, {"-2", -1}}) {
        writeIni(std::string("[Save]\nflg=") + flg + "\n");
        open();
        QTest::qWait(200);
        EXPECT_EQ(form->radioItemIndex(), item) << flg;
        EXPECT_EQ(find<QRadioButton>("RadioGroup1Item1").isChecked(), item == 1) << flg;
        EXPECT_EQ(owner.Place, "/srv/pictures");
    }
    EXPECT_EQ(choosers, 0);
}

TEST_F(OptLoad, ListAndSliderFollowEachOtherByBucket) {
    open();
    find<QTabWidget>("PageControl1").setCurrentIndex(1);
    auto& list = find<QComboBox>("ComboBox1");
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Up);  // "標準" -> "低画質(高圧縮率)"
    EXPECT_EQ(listItem(), QStringLiteral("低画質(高圧縮率)"));
    EXPECT_EQ(slider(), 1);
    EXPECT_EQ(quality(), "1");
    for (const auto& [key, item, position] :
         {std::tuple{Qt::Key_Down, 1, 3}, {Qt::Key_Down, 2, 6}, {Qt::Key_Down, 3, 8}}) {
        QTest::keyClick(&list, key);
        EXPECT_EQ(list.currentIndex(), item);
        EXPECT_EQ(slider(), position);
    }

    // The slider's own moves select the item but never snap the slider to the item's position.
    auto& bar = find<QSlider>("TrackBar1");
    bar.setFocus();
    QTest::keyClick(&bar, Qt::Key_Home);
    EXPECT_EQ(quality(), "0");
    EXPECT_EQ(list.currentIndex(), 0);
    const int expectedItem[] = {0, 0, 0, 1, 1, 1, 2, 2, 3, 3, 3};
    for (int position = 1; position <= 10; ++position) {
        QTest::keyClick(&bar, Qt::Key_Right);
        EXPECT_EQ(slider(), position);
        EXPECT_EQ(quality(), QString::number(position));
        EXPECT_EQ(list.currentIndex(), expectedItem[position]) << position;
    }
    QTest::keyClick(&bar, Qt::Key_Left);
    QTest::keyClick(&bar, Qt::Key_Left);
    QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_EQ(slider(), 7);
    EXPECT_EQ(listItem(), QStringLiteral("高画質"));
}

TEST_F(OptLoad, CheckBoxColoursAndEnablesThePrefixBox) {
    writeIni("[Save]\nfilenamecheck=2\nfilename=trip\n");
    open();
    auto& check = find<QCheckBox>("CheckBox1");
    auto& edit = find<QLineEdit>("Edit1");
    EXPECT_TRUE(check.isChecked()) << "any non-zero value is set";
    EXPECT_TRUE(edit.isEnabled());
    EXPECT_EQ(edit.palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(edit.text(), "trip");
    find<QTabWidget>("PageControl1").setCurrentIndex(2);
    QTest::mouseClick(&check, Qt::LeftButton);
    EXPECT_FALSE(check.isChecked());
    EXPECT_FALSE(edit.isEnabled());
    EXPECT_EQ(prefixBoxColour(), QColor(192, 192, 192));
    EXPECT_EQ(edit.text(), "trip") << "clearing the box keeps the prefix text";
    QTest::mouseClick(&check, Qt::LeftButton);
    EXPECT_TRUE(edit.isEnabled());
}

TEST_F(OptLoad, PrefixBoxDropsTypedFolderSeparatorsAndControlCharacters) {
    writeIni("[Save]\nfilenamecheck=1\n");
    open();
    find<QTabWidget>("PageControl1").setCurrentIndex(2);
    auto& edit = find<QLineEdit>("Edit1");
    edit.setFocus();
    QTest::keyClicks(&edit, "../a/b");
    EXPECT_EQ(edit.text(), "..ab");
    EXPECT_EQ(edit.cursorPosition(), 4);
    // A paste keeps what is allowed, at the cursor, with the cursor after it.
    edit.setCursorPosition(2);
    QApplication::clipboard()->setText(QStringLiteral("旅\n/行\t"));
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("..旅行ab")) << "a line break would break kvr.ini";
    EXPECT_EQ(edit.cursorPosition(), 4);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QStringLiteral("..旅ab"));
}

TEST_F(OptLoad, HandEditedPrefixLoadsAsTheKeyboardWouldHaveTakenIt) {
    writeIni("[Save]\nfilenamecheck=1\nfilename=a/b\n");
    open();
    find<QTabWidget>("PageControl1").setCurrentIndex(2);
    auto& edit = find<QLineEdit>("Edit1");
    EXPECT_EQ(edit.text(), "ab") << "no folder separator from the file either";
    edit.setFocus();
    edit.end(false);
    QTest::keyClicks(&edit, "c/");
    EXPECT_EQ(edit.text(), "abc");
}

TEST_F(OptLoad, DraggingTheCaptionMovesTheDialog) {
    open();
    auto& caption = find<QLabel>("TitleBar");
    EXPECT_EQ(caption.text(), QStringLiteral("設定"));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint) << "no system buttons";
    QTest::qWait(300);  // the window manager has placed the new window
    const QPoint start = form->frameGeometry().topLeft();
    const QPoint p = caption.mapTo(form.get(), QPoint(60, 8));
    // The real pointer (XTest), so the window manager does the move as on any title bar. One
    // xdotool run holds the button from press to release; the pauses leave the program and the
    // window manager time for each step on a busy machine.
    const auto arg = [](int v) { return std::to_string(v); };
    Process xdotool({{"xdotool",
                      "mousemove",
                      "--sync",
                      "--window",
                      std::to_string(form->winId()),
                      arg(p.x()),
                      arg(p.y()),
                      "mousedown",
                      "1",
                      "sleep",
                      "0.5",
                      "mousemove_relative",
                      "3",
                      "3",
                      "sleep",
                      "1",
                      "mousemove_relative",
                      "47",
                      "27",
                      "sleep",
                      "1",
                      "mouseup",
                      "1"}});
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return xdotool.exitStatus().has_value(); }, kvr::test::kPatience));
    EXPECT_EQ(xdotool.exitStatus(), std::optional<int>(0));
    QTest::qWait(100);
    const QPoint moved = form->frameGeometry().topLeft() - start;
    EXPECT_GE(moved.x(), 40);
    EXPECT_GE(moved.y(), 20);
}

}  // namespace
