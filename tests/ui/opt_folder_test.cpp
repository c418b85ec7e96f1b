// The output folder choice of the options dialog with Qt's real folder chooser.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/desktop.h"
#include "dialog_test_support.h"
#include "main.h"
#include "opt.h"

namespace {

struct ChooserSeen {
    int count = 0;
    QString title;
    QString startFolder;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool dirsOnly = false;
    bool modal = false;
    bool dialogFound = false;  // Qt's own chooser, whose buttons can be looked at
    bool newFolderShown = true;
};

class OptFolder : public kvr::test::OptDialogTest {
protected:
    void SetUp() override {
        OptDialogTest::SetUp();
        owner.Place = "/srv/earlier";
        open();
    }

    // Answers the next chooser: cancel it, or confirm the given folder.
    void answerChooser(const QString& folder) {
        kvr::test::whenShown<QFileDialog>([this, folder](QFileDialog& chooser) {
            ++seen.count;
            seen.title = chooser.windowTitle();
            seen.startFolder = chooser.directory().absolutePath();
            seen.mode = chooser.fileMode();
            seen.dirsOnly = chooser.testOption(QFileDialog::ShowDirsOnly);
            seen.modal = chooser.isModal();
            // Folders are chosen here, not made.
            auto* newFolder = chooser.findChild<QWidget*>("newFolderButton");
            seen.dialogFound = chooser.findChild<QWidget*>("listView") != nullptr;
            seen.newFolderShown = newFolder && newFolder->isVisible();
            if (folder.isEmpty()) {
                chooser.reject();
            } else {
                chooser.setDirectory(folder);
                static_cast<QDialog&>(chooser).accept();  // its "Choose" button
            }
        });
    }
    QRadioButton& item(int i) {
        return *form->findChild<QRadioButton*>(QStringLiteral("RadioGroup1Item%1").arg(i));
    }
    QString shownPlace() { return form->findChild<QLabel*>("Label1")->text(); }

    ChooserSeen seen;
};

TEST_F(OptFolder, CancelledChooserFallsBackToTheDesktop) {
    answerChooser({});
    QTest::mouseClick(&item(1), Qt::LeftButton);
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.title, QStringLiteral("出力場所の指定"));
    EXPECT_EQ(seen.startFolder, QDir("/srv").exists() ? "/srv" : "/") << "the nearest that exists";
    EXPECT_EQ(seen.mode, QFileDialog::Directory);
    EXPECT_TRUE(seen.dirsOnly);
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.dialogFound);
    EXPECT_FALSE(seen.newFolderShown);
    EXPECT_TRUE(item(0).isChecked());
    EXPECT_EQ(form->radioItemIndex(), 0);
    const std::string desktop = kvr::desktopFolder();
    EXPECT_EQ(owner.Place, desktop);
    EXPECT_EQ(shownPlace(), QString::fromStdString(desktop));
    EXPECT_FALSE(kvr::test::iniExists()) << "nothing is written before 閉じる";
}

TEST_F(OptFolder, ChosenFolderIsInEffectAtOnceAndTheItemAgainChoosesAnother) {
    QTemporaryDir chosen;
    ASSERT_TRUE(chosen.isValid());
    const QString folder = QDir(chosen.path()).canonicalPath();
    owner.Place = QDir::tempPath().toStdString();
    answerChooser(folder);
    QTest::mouseClick(&item(1), Qt::LeftButton);
    ASSERT_EQ(seen.count, 1);
    EXPECT_EQ(seen.startFolder, QDir::tempPath()) << "the folder in effect";
    EXPECT_TRUE(item(1).isChecked());
    EXPECT_EQ(owner.Place, folder.toStdString());
    EXPECT_EQ(shownPlace(), folder);

    // The selected item again: the chooser again, at that folder; a cancel keeps it, and Space
    // on the item chooses another.
    answerChooser({});
    QTest::mouseClick(&item(1), Qt::LeftButton);
    EXPECT_EQ(seen.count, 2);
    EXPECT_EQ(seen.startFolder, folder);
    EXPECT_EQ(owner.Place, folder.toStdString());
    QTemporaryDir other;
    const QString second = QDir(other.path()).canonicalPath();
    answerChooser(second);
    QTest::keyClick(&item(1), Qt::Key_Space);
    EXPECT_EQ(shownPlace(), second);

    // Esc does what "閉じる" does (there is no cancel): the folder is kept and written.
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(owner.Place, second.toStdString());
    EXPECT_NE(kvr::test::readIni().find("place=" + second.toStdString()), std::string::npos);
}

TEST_F(OptFolder, DesktopItemTakesTheDesktopFolder) {
    kvr::test::writeIni("[Save]\nflg=1\n");
    open();
    answerChooser({});  // must stay unused
    QTest::mouseClick(&item(0), Qt::LeftButton);
    EXPECT_EQ(owner.Place, kvr::desktopFolder());
    QTest::qWait(300);
    EXPECT_EQ(seen.count, 0);
}

}  // namespace
