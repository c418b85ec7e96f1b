// The main window on a real X server with openbox: start-up from kvr.ini, the toggles and the
// timer arrows, exit, layout, fonts, titles and what screen readers get.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QScreen>
#include <QToolButton>
#include <cstdlib>
#include <map>

#include "app.h"
#include "core/desktop.h"
#include "core/kernel.h"
#include "layoutscale.h"
#include "main.h"
#include "main_test_support.h"
#include "updown.h"

namespace {

using namespace kvr::test;
namespace fs = std::filesystem;

template <class T>
T& control(const TForm1& form, const char* name) {
    T* widget = form.findChild<T*>(name);
    if (!widget)
        throw std::runtime_error(std::string("no control ") + name);
    return *widget;
}

QToolButton& button(const TForm1& form, const char* name) {
    return control<QToolButton>(form, name);
}

QString timerText(const TForm1& form) {
    return control<QLineEdit>(form, "Edit1").text();
}

// Which toggles are down and what the timer box holds.
void expectChoices(const TForm1& form, bool allScreen, bool bmp, const char* timer) {
    EXPECT_EQ(button(form, "SpeedButtonALL").isChecked(), allScreen);
    EXPECT_EQ(button(form, "SpeedButtonACT").isChecked(), !allScreen);
    EXPECT_EQ(button(form, "SpeedButtonBMP").isChecked(), bmp);
    EXPECT_EQ(button(form, "SpeedButtonJPG").isChecked(), !bmp);
    EXPECT_EQ(timerText(form), timer);
    EXPECT_EQ(control<kvr::UpDown>(form, "UpDown1").position(), atoi(timer));
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ini_ = freshSettingsFile(); }
    void TearDown() override {
        fs::remove(ini_);
        fs::remove_all(fs::path(getenv("HOME")) / ".config");
    }
    fs::path ini_;
};

TEST_F(MainWindow, FirstRunWithoutSettingsFileStartsWithDefaults) {
    TForm1 form{kvr::test::services()};
    expectChoices(form, false, false, "1");
    EXPECT_EQ(form.Place, std::string(getenv("HOME")) + "/Desktop");
    EXPECT_EQ(form.FileName, "");
    EXPECT_FALSE(form.FileNameCheck);
    EXPECT_TRUE(form.OptFlag);
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_TRUE(button(form, "SpeedButtonSHOT").isEnabled());
    // Reading never creates the file, and the desktop path is not written back.
    EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(MainWindow, DesktopFolderComesFromXdgUserDirs) {
    const fs::path home = getenv("HOME");
    fs::create_directories(home / ".config");
    writeText(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n");
    TForm1 form{kvr::test::services()};
    EXPECT_EQ(form.Place, (home / "デスクトップ").string());
}

TEST_F(MainWindow, SavedModeFormatAndTimerAreRestored) {
    writeText(ini_, "[CreatFlg]\ntype=1\nsave=1\ntimer=12\n");
    TForm1 form{kvr::test::services()};
    expectChoices(form, true, true, "12");
    EXPECT_EQ(form.shotChoices().mode, kvr::ShotMode::AllScreen);
    EXPECT_EQ(form.shotChoices().format, kvr::SaveFormat::Bmp);
}

TEST_F(MainWindow, PngOrWebpAsTheLosslessFormatIsWhatTheSecondButtonSaysAndWrites) {
    const struct {
        const char* saved;
        const char* label;
        const char* tip;
        kvr::SaveFormat format;
    } rows[] = {{"1", "PNG", "png形式で保存", kvr::SaveFormat::Png},
                {"2", "WebP", "webp形式で保存", kvr::SaveFormat::Webp}};
    for (const auto& row : rows) {
        writeText(ini_, std::string("[CreatFlg]\nsave=1\n[Save]\npng=") + row.saved + "\n");
        TForm1 form{kvr::test::services()};
        EXPECT_EQ(button(form, "SpeedButtonBMP").text(), row.label);
        EXPECT_TRUE(hasAccessibleText(&button(form, "SpeedButtonBMP"), row.tip));
        EXPECT_EQ(form.shotChoices().format, row.format);
    }
}

TEST_F(MainWindow, SavedFolderAndPrefixAreRestored) {
    writeText(ini_, "[Save]\nplace=/no/such/folder\nfilename=shot\nfilenamecheck=2\n");
    TForm1 form{kvr::test::services()};
    // Any text but "Error" is the folder, even one that does not exist.
    EXPECT_EQ(form.Place, "/no/such/folder");
    EXPECT_EQ(form.FileName, "shot");
    EXPECT_TRUE(form.FileNameCheck);
    writeText(ini_, "[Save]\nplace=Error\n");
    TForm1 again{kvr::test::services()};
    EXPECT_EQ(again.Place, std::string(getenv("HOME")) + "/Desktop");
}

TEST_F(MainWindow, TimerOutsideTheArrowsRangeIsShownAsRead) {
    writeText(ini_, "[CreatFlg]\ntimer=45\n");
    TForm1 form{kvr::test::services()};
    EXPECT_EQ(timerText(form), "45");
    // The arrows hold 30 at most: their first click puts their own position into the box.
    control<kvr::UpDown>(form, "UpDown1").upButton()->click();
    EXPECT_EQ(timerText(form), "30");
    control<kvr::UpDown>(form, "UpDown1").downButton()->click();
    EXPECT_EQ(timerText(form), "29");

    TForm1 second{kvr::test::services()};
    EXPECT_EQ(timerText(second), "45");
    control<kvr::UpDown>(second, "UpDown1").downButton()->click();
    EXPECT_EQ(timerText(second), "29");
}

TEST_F(MainWindow, TimerArrowsStopAtTheEndsWithoutWrapping) {
    TForm1 form{kvr::test::services()};
    auto& arrows = control<kvr::UpDown>(form, "UpDown1");
    arrows.downButton()->click();
    EXPECT_EQ(timerText(form), "1");
    for (int i = 0; i < 35; ++i)
        arrows.upButton()->click();
    EXPECT_EQ(timerText(form), "30");
    arrows.downButton()->click();
    EXPECT_EQ(timerText(form), "29");
}

TEST_F(MainWindow, ToggleButtonsKeepExactlyOneDown) {
    TForm1 form{kvr::test::services()};
    button(form, "SpeedButtonACT").click();  // already down: stays down
    expectChoices(form, false, false, "1");
    button(form, "SpeedButtonALL").click();
    expectChoices(form, true, false, "1");
    button(form, "SpeedButtonBMP").click();
    expectChoices(form, true, true, "1");
    button(form, "SpeedButtonRGN").click();
    EXPECT_TRUE(button(form, "SpeedButtonRGN").isChecked());
    EXPECT_FALSE(button(form, "SpeedButtonALL").isChecked() ||
                 button(form, "SpeedButtonACT").isChecked());
    EXPECT_EQ(form.shotChoices().mode, kvr::ShotMode::Region);
}

TEST_F(MainWindow, ExitWritesTypeSaveTimerInOrderAndEndsTheProgram) {
    TForm1 form{kvr::test::services()};
    form.show();
    ASSERT_TRUE(waitExposed(&form));
    button(form, "SpeedButtonALL").click();
    button(form, "SpeedButtonBMP").click();
    control<kvr::UpDown>(form, "UpDown1").upButton()->click();
    control<kvr::UpDown>(form, "UpDown1").upButton()->click();
    QTimer::singleShot(0, &form, [&] { button(form, "SpeedButtonEXIT").click(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // not ended: fail
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(readText(ini_), "[CreatFlg]\ntype=1\nsave=1\ntimer=3\n");
}

TEST_F(MainWindow, RefusedWriteOnExitShowsTheMessageAndKeepsTheProgramOpen) {
    // A folder where the file should be: every write is refused, also for root.
    const fs::path blocked = fs::path(getenv("HOME")) / "blocked.ini";
    fs::create_directories(blocked);
    TForm1 form{kvr::test::UiSession::current().services(blocked.string())};
    form.show();
    ASSERT_TRUE(waitExposed(&form));
    QString caption, text;
    auto shown = whenMessageBoxShows([&](QMessageBox& box) {
        caption = box.windowTitle();
        text = box.text();
        box.button(QMessageBox::Ok)->click();
        // The program must still be running once the box is gone.
        QTimer::singleShot(300, [] { QCoreApplication::exit(42); });
    });
    QTimer::singleShot(0, &form, [&] { button(form, "SpeedButtonEXIT").click(); });
    QTimer::singleShot(8000, [] { QCoreApplication::exit(99); });
    const int rc = QApplication::exec();
    fs::remove_all(blocked);
    EXPECT_TRUE(*shown);
    EXPECT_EQ(rc, 42);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(caption, "Kelvoro");
    EXPECT_EQ(text, QString::fromStdString(blocked.string()) + " に書き込めません.");
}

TEST_F(MainWindow, LayoutAt96DpiIsThePlacesOfTheTable) {
    TForm1 form{kvr::test::services()};
    EXPECT_DOUBLE_EQ(kvr::layoutScale(), 1.0);
    EXPECT_EQ(form.size(), QSize(242, 143));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    const std::map<std::string, QRect> places = {
        {"Image2", {2, 2, 238, 139}},          {"Bevel1", {16, 16, 100, 65}},
        {"SpeedButtonACT", {22, 30, 88, 16}},  {"SpeedButtonALL", {22, 46, 88, 16}},
        {"SpeedButtonRGN", {22, 62, 88, 16}},  {"Bevel2", {16, 88, 100, 40}},
        {"Edit1", {40, 102, 38, 20}},          {"UpDown1", {59, 103, 17, 20}},
        {"Bevel3", {125, 16, 100, 40}},        {"SpeedButtonJPG", {134, 32, 40, 17}},
        {"SpeedButtonBMP", {178, 32, 40, 17}}, {"Bevel4", {125, 63, 100, 26}},
        {"SpeedButtonOpt", {134, 67, 40, 17}}, {"SpeedButtonInf", {178, 67, 40, 17}},
        {"Bevel5", {125, 95, 100, 34}},        {"SpeedButtonSHOT", {131, 99, 88, 25}},
        {"SpeedButtonEXIT", {224, 2, 15, 15}},
    };
    // Places in the window (the choices sit inside their frames, which group them).
    for (const auto& [name, place] : places) {
        const QWidget& widget = control<QWidget>(form, name.c_str());
        EXPECT_EQ(QRect(widget.mapTo(&form, QPoint(0, 0)), widget.size()), place) << name;
    }
    for (auto [name, x, y] : {std::tuple{"Label4", 21, 18},
                              {"Label1", 40, 90},
                              {"Label2", 83, 113},
                              {"Label3", 152, 19}})
        EXPECT_EQ(control<QLabel>(form, name).pos(), QPoint(x, y)) << name;
}

TEST_F(MainWindow, OnA120DpiDisplayTheWholeWindowGrowsByAQuarter) {
    TForm1 form{kvr::test::services()};  // laid out at 96 dpi; scaled once more as a 120 dpi
                                         // display would have it
    kvr::applyLayout(form, 1.25);
    EXPECT_EQ(form.size(), QSize(303, 179));
    const auto inWindow = [&](const QWidget& w) {
        return QRect(w.mapTo(&form, QPoint()), w.size());
    };
    EXPECT_EQ(inWindow(button(form, "SpeedButtonSHOT")), QRect(164, 124, 110, 31));
    EXPECT_EQ(inWindow(control<kvr::UpDown>(form, "UpDown1")), QRect(74, 129, 21, 25));
    EXPECT_EQ(QFontInfo(form.font()).pixelSize(), 15);
    EXPECT_EQ(QFontInfo(button(form, "SpeedButtonJPG").font()).pixelSize(), 14);
    EXPECT_EQ(QFontInfo(control<QLineEdit>(form, "Edit1").font()).pixelSize(), 15);
    // Labels fit their larger text.
    auto& label = control<QLabel>(form, "Label4");
    EXPECT_EQ(label.pos(), QPoint(26, 23));
    EXPECT_GE(label.width(), label.fontMetrics().horizontalAdvance(label.text()));
}

TEST_F(MainWindow, ModeButtonTextIsBlackWhateverTheDesktopTheme) {
    // A dark desktop theme: light text everywhere it is not fixed.
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, Qt::white);
    QApplication::setPalette(dark);
    {
        TForm1 form{kvr::test::services()};
        form.show();
        ASSERT_TRUE(waitExposed(&form));
        for (const char* name : {"SpeedButtonACT", "SpeedButtonALL"}) {
            QToolButton& b = button(form, name);
            EXPECT_EQ(b.palette().color(QPalette::ButtonText), QColor(0, 0, 0)) << name;
            // Drawn black too: the darkest pixels of the caption are the text's.
            const QImage picture = b.grab().toImage();
            int black = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    black += qGray(picture.pixel(x, y)) < 24;
            EXPECT_GT(black, 10) << name;
        }
    }
    QApplication::setPalette(saved);
}

TEST_F(MainWindow, JapaneseLayoutFontsMapToAnInstalledGothicFont) {
    for (const char* face : {"ＭＳ Ｐゴシック", "ＭＳ ゴシック"}) {
        QFont font(QString::fromUtf8(face));
        font.setPixelSize(12);
        const QString family = QFontInfo(font).family();
        EXPECT_TRUE(family.startsWith("IPA") || family.startsWith("Noto"))
            << face << " -> " << family.toStdString();
        const QRawFont raw = QRawFont::fromFont(font);
        for (char32_t c : {U'撮', U'影', U'秒', U'前', U'ー'})
            EXPECT_TRUE(raw.supportsCharacter(c)) << face;
    }
}

TEST_F(MainWindow, OpensCentredOnThePrimaryMonitor) {
    TForm1 form{kvr::test::services()};
    form.show();
    ASSERT_TRUE(waitExposed(&form));
    QTest::qWait(100);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint offset = form.frameGeometry().center() - screen.center();
    EXPECT_LE(std::abs(offset.x()), 1);
    EXPECT_LE(std::abs(offset.y()), 1);
}

TEST_F(MainWindow, EveryHintIsATooltipAndReachesScreenReaders) {
    TForm1 form{kvr::test::services()};
    const std::map<std::string, QString> hints = {
        {"SpeedButtonACT", "アクティヴ ウインドウを撮影"},
        {"SpeedButtonALL", "全画面撮影"},
        {"SpeedButtonRGN", "カウントダウンの後、撮った画面の上で範囲を選んで撮影"},
        {"Edit1", "セルフタイマー秒数"},
        {"UpDown1", "セルフタイマー秒数の変更"},
        {"SpeedButtonJPG", "jpeg形式で保存"},
        {"SpeedButtonBMP", "bmp形式で保存"},
        {"SpeedButtonOpt", "設定"},
        {"SpeedButtonInf", "Version情報"},
        {"SpeedButtonSHOT", "撮影カウントダウン開始ボタン"},
        {"SpeedButtonEXIT", "プログラム終了ボタン"},
    };
    for (const auto& [name, hint] : hints) {
        QWidget& widget = control<QWidget>(form, name.c_str());
        EXPECT_EQ(widget.toolTip(), hint) << name;
        EXPECT_TRUE(hasAccessibleText(&widget, hint)) << name;
    }
}

TEST_F(MainWindow, ScreenReadersGetEveryCaption) {
    TForm1 form{kvr::test::services()};
    form.show();
    ASSERT_TRUE(waitExposed(&form));
    for (const char* text : {"Kelvoro", "Screen Shot Type", "Active Form", "All Screen", "範囲",
                             "Self Timer", "sec", "Save Type", "JPG", "BMP"})
        EXPECT_TRUE(hasAccessibleText(&form, QString::fromUtf8(text))) << text;
    // The buttons are named for what they do, not by their captions "Opt", "Inf", "Shot", "×".
    for (const auto& [name, said] : {std::pair{"SpeedButtonOpt", "設定を開く"},
                                     {"SpeedButtonInf", "バージョン情報を表示"},
                                     {"SpeedButtonSHOT", "セルフタイマーの後に撮影"},
                                     {"SpeedButtonEXIT", "選択を保存して終了"}}) {
        auto* node = QAccessible::queryAccessibleInterface(&button(form, name));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(QAccessible::Name), QString::fromUtf8(said)) << name;
        EXPECT_EQ(node->role(), QAccessible::Button) << name;
    }
    // The choices are radio buttons in groups named after their frames, telling which is down.
    for (const auto& [name, group] : {std::pair{"SpeedButtonACT", "Screen Shot Type"},
                                      {"SpeedButtonALL", "Screen Shot Type"},
                                      {"SpeedButtonRGN", "Screen Shot Type"},
                                      {"SpeedButtonJPG", "Save Type"},
                                      {"SpeedButtonBMP", "Save Type"}}) {
        auto* node = QAccessible::queryAccessibleInterface(&button(form, name));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::RadioButton) << name;
        EXPECT_TRUE(node->state().checkable);
        EXPECT_EQ(node->state().checked, button(form, name).isChecked()) << name;
        ASSERT_NE(node->parent(), nullptr);
        EXPECT_EQ(node->parent()->role(), QAccessible::Grouping) << name;
        EXPECT_EQ(node->parent()->text(QAccessible::Name), group) << name;
    }
    // The timer is a spin box; its value is in seconds and follows the arrows.
    auto* timer = QAccessible::queryAccessibleInterface(&control<QLineEdit>(form, "Edit1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->role(), QAccessible::SpinBox);
    EXPECT_EQ(timer->text(QAccessible::Value), QStringLiteral("1秒"));
    ASSERT_NE(timer->valueInterface(), nullptr);
    EXPECT_EQ(timer->valueInterface()->minimumValue().toInt(), 1);
    EXPECT_EQ(timer->valueInterface()->maximumValue().toInt(), 30);
    control<kvr::UpDown>(form, "UpDown1").step(true);
    EXPECT_EQ(timer->valueInterface()->currentValue().toInt(), 2);
    // Set by a screen reader: as if the arrows were clicked, within their range.
    timer->valueInterface()->setCurrentValue(40);
    EXPECT_EQ(timerText(form), "30");
    // The frames and the background are named.
    for (const char* name : {"Bevel1", "Bevel2", "Bevel3", "Bevel4", "Bevel5", "Image2"}) {
        auto* node = QAccessible::queryAccessibleInterface(&control<QWidget>(form, name));
        EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << name;
    }
}

TEST(PlatformCheck, OnlyLinuxIsAccepted) {
    EXPECT_EQ(kvr::kernelName(), "Linux");
    EXPECT_FALSE(kvr::isSupportedKernel("FreeBSD"));
}

}  // namespace
