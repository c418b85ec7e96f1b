// "閉じる" of the options dialog: what it writes, in which order, what a refused write leaves
// behind, and the handing over of the prefix settings; Esc and the window manager's close do the
// same (the dialog has no cancel).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <vector>

#include "base/error.h"
#include "core/naming.h"
#include "dialog_test_support.h"
#include "main.h"
#include "opt.h"

namespace {

using kvr::test::iniExists;
using kvr::test::readIni;
using kvr::test::removeIni;
using kvr::test::writeIni;

// A file-size limit makes the file system refuse any write that would grow kvr.ini past it, as
// a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

class OptClose : public kvr::test::OptDialogTest {
protected:
    void SetUp() override {
        OptDialogTest::SetUp();
        owner.Place = "/srv/shots";
    }

    // Sets the prefix as the user does: tick the box, type into the prefix box.
    void typePrefix(const QString& prefix) {
        find<QTabWidget>("PageControl1").setCurrentIndex(2);
        QTest::mouseClick(&find<QCheckBox>("CheckBox1"), Qt::LeftButton);
        auto& edit = find<QLineEdit>("Edit1");
        edit.setFocus();
        QTest::keyClicks(&edit, prefix);
    }
    void clickClose() { QTest::mouseClick(&find<QToolButton>("SpeedButton1"), Qt::LeftButton); }
    void chooseWebp() {
        find<QTabWidget>("PageControl1").setCurrentWidget(&find<QWidget>("TabSheetFormat"));
        QTest::mouseClick(&find<QRadioButton>("LosslessFormatWebp"), Qt::LeftButton);
    }

    // Opens the dialog, types a prefix, and closes it with `close` while the file system refuses
    // every write; returns the message box's text.
    template <class Close>
    QString closeRefused(Close close) {
        open();
        typePrefix("trip");
        QString shown;
        kvr::test::whenShown<QMessageBox>([&](QMessageBox& box) {
            shown = box.text();
            box.accept();
        });
        FileSizeLimit limit(0);
        close();
        return shown;
    }
};

TEST_F(OptClose, ClosingWritesEveryOptionAndHandsThePrefixOver) {
    writeIni("[JPEG]\nqualityrange=15\n");
    open();
    typePrefix("trip");
    chooseWebp();
    EXPECT_EQ(owner.Lossless, kvr::SaveFormat::Bmp) << "the main window changes only on closing";
    clickClose();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    const kvr::Settings settings(kvr::test::iniPath());
    EXPECT_EQ(settings.readInteger("Save", "flg", -9), 0);
    EXPECT_EQ(settings.readString("Save", "place", ""), "/srv/shots");
    EXPECT_EQ(settings.readInteger("JPEG", "qualityrange", -9), 10) << "15 was brought to 10";
    EXPECT_TRUE(settings.readBool("Save", "filenamecheck", false));
    EXPECT_EQ(settings.readString("Save", "filename", ""), "trip");
    EXPECT_EQ(settings.readInteger("Save", "png", -9), 2);
    EXPECT_EQ(owner.FileName, "trip");
    EXPECT_TRUE(owner.FileNameCheck);
    EXPECT_EQ(owner.Lossless, kvr::SaveFormat::Webp);
}

TEST_F(OptClose, HandEditedPrefixIsWrittenBackAsTheDialogShowsIt) {
    writeIni("[Save]\nfilenamecheck=1\nfilename=a/b\n");
    open();
    clickClose();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(kvr::Settings(kvr::test::iniPath()).readString("Save", "filename", ""), "ab");
    EXPECT_EQ(owner.FileName, "ab");
}

TEST_F(OptClose, TypedPrefixIsUsedByTheNextShotOnlyAfterClosing) {
    open();
    typePrefix("trip");
    const auto nextName = [&] {
        kvr::ShotChoices choices;
        choices.Place = owner.Place;
        choices.FileName = owner.FileName;
        choices.FileNameCheck = owner.FileNameCheck;
        return kvr::nextFileName(choices).value_or("");
    };
    EXPECT_EQ(nextName(), "Act_J00.jpg");
    EXPECT_TRUE(owner.FileName.empty());
    EXPECT_FALSE(owner.FileNameCheck);
    clickClose();
    EXPECT_EQ(nextName(), "trip00.jpg");
}

TEST_F(OptClose, WritesStopAtTheFirstRefusedOneInTheirOrder) {
    // What kvr.ini holds after each of the writes, made in the required order.
    const std::string scratch = kvr::test::iniPath() + ".reference";
    std::vector<std::string> after;
    {
        kvr::Settings s(scratch);
        const std::function<void()> writes[] = {
            [&] { s.writeInteger("Save", "flg", 0); },
            [&] { s.writeString("Save", "place", "/srv/shots"); },
            [&] { s.writeInteger("JPEG", "qualityrange", 6); },
            [&] { s.writeBool("Save", "filenamecheck", true); },
            [&] { s.writeString("Save", "filename", "trip"); },
            [&] { s.writeInteger("Save", "png", 2); },
            [&] { s.writeInteger("Capture", "monitor", 0); },
            [&] { s.writeBool("Capture", "pointer", false); },
            [&] { s.writeBool("Capture", "clipboard", false); },
            [&] { s.writeBool("Capture", "countdown", true); },
            [&] { s.writeBool("Capture", "lastregion", false); },
        };
        after.push_back("");
        for (const auto& write : writes) {
            write();
            after.push_back(kvr::test::readText(scratch));
        }
    }
    std::filesystem::remove(scratch);

    for (size_t done = 0; done + 1 < after.size(); ++done) {
        SCOPED_TRACE(done);
        removeIni();
        owner.FileName = "before";
        owner.FileNameCheck = false;
        open();
        find<QSlider>("TrackBar1").setValue(6);
        typePrefix("trip");
        chooseWebp();
        {
            FileSizeLimit limit(after[done].size());
            EXPECT_THROW(form->SpeedButton1Click(), kvr::KvrError);
        }
        EXPECT_EQ(readIni(), after[done]);
        EXPECT_TRUE(form->isVisible()) << "the dialog stays open";
        EXPECT_EQ(owner.FileName, "before");
        EXPECT_FALSE(owner.FileNameCheck);
        EXPECT_EQ(owner.Lossless, kvr::SaveFormat::Bmp);
    }
    // With room again the same dialog closes normally.
    form->SpeedButton1Click();
    EXPECT_EQ(readIni(), after.back());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(owner.FileName, "trip");
}

TEST_F(OptClose, RefusedWriteIsShownAndKeepsTheDialogOpen) {
    const QString shown = closeRefused([&] { clickClose(); });
    EXPECT_TRUE(shown.contains(QString::fromStdString(kvr::test::iniPath()) +
                               QStringLiteral(" に書き込めません")))
        << shown.toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(owner.FileName.empty());
    EXPECT_FALSE(iniExists());
}

TEST_F(OptClose, EscAndTheWindowManagersCloseDoWhatCloseDoes) {
    open();
    typePrefix("trip");
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(readIni().find("filename=trip"), std::string::npos) << readIni();
    EXPECT_EQ(owner.FileName, "trip");
    EXPECT_TRUE(owner.FileNameCheck);

    removeIni();
    open();
    typePrefix("tour");
    form->close();  // the window manager's close command
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(readIni().find("filename=tour"), std::string::npos) << readIni();
    EXPECT_EQ(owner.FileName, "tour");
}

TEST_F(OptClose, EscWithARefusedWriteShowsItAndKeepsTheDialogOpen) {
    const QString shown = closeRefused([&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    EXPECT_TRUE(shown.contains(QStringLiteral(" に書き込めません"))) << shown.toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(owner.FileName.empty());
}

// Enter closes from any control and changes none: a check box or a radio button is changed by
// Space (or a click) only.
TEST_F(OptClose, EnterOnAnyControlPressesCloseAndChangesNothing) {
    open();
    auto& slider = find<QSlider>("TrackBar1");
    find<QTabWidget>("PageControl1").setCurrentIndex(1);
    slider.setFocus();
    QTest::keyClick(&slider, Qt::Key_Right);
    QTest::keyClick(&slider, Qt::Key_Right);
    QTest::keyClick(&slider, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(readIni().find("qualityrange=" + std::to_string(slider.value())), std::string::npos)
        << readIni();

    for (const auto& [page, name] : {std::pair{"TabSheet3", "CheckBox1"},
                                     {"TabSheetFormat", "LosslessFormatPng"},
                                     {"TabSheetCapture", "PointerBox"}}) {
        SCOPED_TRACE(name);
        removeIni();
        open();
        auto& button = find<QAbstractButton>(name);
        find<QTabWidget>("PageControl1").setCurrentWidget(&find<QWidget>(page));
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Return);
        EXPECT_FALSE(form->isVisible());
        EXPECT_FALSE(button.isChecked());
        for (const char* unchanged : {"filenamecheck=0", "png=0", "pointer=0"})
            EXPECT_NE(readIni().find(unchanged), std::string::npos) << readIni();
    }
}

TEST_F(OptClose, OptButtonOpensAModalCentredDialogAndFreesIt) {
    owner.setGeometry(300, 200, 242, 143);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, kvr::test::kPatience));
    QPointer<TForm2> seen;
    bool modal = false;
    Qt::WindowFlags flags;
    QRect frame;
    QString caption, title;
    QSize client;
    kvr::test::whenShown<TForm2>([&](TForm2& dialog) {
        seen = &dialog;
        modal = dialog.isModal();
        flags = dialog.windowFlags();
        if (!QTest::qWaitForWindowExposed(&dialog, kvr::test::kPatience))
            ADD_FAILURE() << "dialog not shown";
        frame = dialog.frameGeometry();
        caption = dialog.findChild<QLabel*>("TitleBar")->text();
        title = dialog.windowTitle();
        client = dialog.findChild<QWidget*>("ClientArea")->size();
        QTest::mouseClick(dialog.findChild<QToolButton*>("SpeedButton1"), Qt::LeftButton);
    });
    showOptionsDialog(owner, owner.optionsTarget());
    EXPECT_TRUE(modal);
    // Its own small caption and no system buttons: nothing from the window manager.
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_EQ(caption, QStringLiteral("設定"));
    EXPECT_EQ(title, QStringLiteral("設定"));
    // The laid-out 242 pixels, or wider where its tabs need it; tall enough for the capture
    // page's four check boxes.
    EXPECT_EQ(client.height(), 160);
    EXPECT_GE(client.width(), 242);
    EXPECT_EQ(frame.width(), client.width());
    EXPECT_LE((frame.center() - owner.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(seen.isNull()) << "freed after closing";
    EXPECT_TRUE(iniExists());
    EXPECT_TRUE(owner.OptFlag);
    owner.hide();
}

}  // namespace
