// The About box: layout, pictures, the link labels' look and the desktop's URL handler.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "dialog_test_support.h"
#include "main.h"
#include "ver.h"

namespace {

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        owner.setGeometry(400, 300, 242, 143);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, kvr::test::kPatience));
    }
    TAboutBox& open() {
        box = std::make_unique<TAboutBox>(owner);
        box->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(box.get(), kvr::test::kPatience));
        return *box;
    }
    QLabel& label(const char* name) { return *box->findChild<QLabel*>(name); }

    TForm1 owner{kvr::test::services()};
    std::unique_ptr<TAboutBox> box;
};

// A stand-in for the desktop's xdg-open, first on PATH, that records each call's arguments.
class FakeXdgOpen {
public:
    FakeXdgOpen() : savedPath_(qgetenv("PATH")) {
        log_ = folder_.filePath("calls.log");
        QFile script(folder_.filePath("xdg-open"));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + log_.toLocal8Bit() + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", folder_.path().toLocal8Bit() + ":" + savedPath_);
    }
    ~FakeXdgOpen() { qputenv("PATH", savedPath_); }
    QStringList calls() const {
        QFile f(log_);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir folder_;
    QString log_;
    QByteArray savedPath_;
};

TEST_F(AboutBox, LayoutAndTexts) {
    open();
    EXPECT_EQ(box->size(), QSize(274, 143));
    EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(label("Label6").text(), "Kelvoro");
    EXPECT_EQ(label("Label4").text(), "Version  " KVR_VERSION);
    EXPECT_TRUE(label("Label4").font().bold());
    EXPECT_EQ(label("Label1").text(), QStringLiteral("Email　") + kContactMail);
    EXPECT_EQ(label("Label2").text(), QStringLiteral("URL    ") + kContactWeb);
    EXPECT_FALSE(label("Label7").text().isEmpty());
    EXPECT_EQ(box->findChild<QToolButton*>("SpeedButton1")->text(), QStringLiteral("×"));
    EXPECT_EQ(box->findChild<QToolButton*>("SpeedButton1")->geometry(), QRect(256, 2, 15, 15));
}

TEST_F(AboutBox, PicturesAreAsLaidOut) {
    open();
    const QPixmap logo = label("Image3").pixmap();
    EXPECT_EQ(logo.size(), QSize(130, 30));
    // Drawn over red: the key colour of the corners lets the red through, the name does not.
    QPixmap canvas(130, 30);
    canvas.fill(Qt::red);
    QPainter(&canvas).drawPixmap(0, 0, logo);
    const QImage drawn = canvas.toImage();
    const QImage bmpImage(":/logo.bmp");
    EXPECT_EQ(drawn.pixelColor(0, 29), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(129, 0), QColor(Qt::red));
    int nameOpaque = 0;
    for (int x = 0; x < 130; ++x) {
        if (bmpImage.pixelColor(x, 15) != bmpImage.pixelColor(0, 29)) {
            EXPECT_EQ(drawn.pixelColor(x, 15), bmpImage.pixelColor(x, 15)) << x;
            ++nameOpaque;
        }
    }
    EXPECT_GT(nameOpaque, 30) << "the name crosses the logo's middle row";
    EXPECT_EQ(label("Image2").pixmap().size(), QSize(60, 30));
    EXPECT_EQ(label("Image1").geometry(), QRect(2, 2, 270, 139));
    EXPECT_TRUE(label("Image1").hasScaledContents());
    EXPECT_FALSE(label("Image1").pixmap().isNull()) << "the main window's background";
}

TEST_F(AboutBox, LinkTurnsBlueAndUnderlinedWhileHovered) {
    open();
    QLabel& mail = label("Label1");
    const QColor normal = mail.palette().color(QPalette::WindowText);
    ASSERT_NE(normal, QColor(0, 0, 255));
    // The real pointer, so the X server sends the enter and leave events.
    QCursor::setPos(mail.mapToGlobal(mail.rect().center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return mail.font().underline(); }, kvr::test::kPatience));
    EXPECT_EQ(mail.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_FALSE(label("Label2").font().underline());
    QCursor::setPos(box->mapToGlobal(QPoint(20, 20)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mail.font().underline(); }, kvr::test::kPatience));
    EXPECT_EQ(mail.palette().color(QPalette::WindowText), normal);
}

// Runs before the fake handler exists in this process: Qt remembers a handler once found.
TEST_F(AboutBox, LinkWithoutAHandlerShowsNothing) {
    QTemporaryDir empty;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    unsetenv("BROWSER");
    unsetenv("DEFAULT_BROWSER");
    open();
    QTest::mouseClick(&label("Label2"), Qt::LeftButton);
    QTest::mouseClick(&label("Label1"), Qt::LeftButton);
    QTest::qWait(300);
    qputenv("PATH", savedPath);
    EXPECT_TRUE(box->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w != box.get() && w != &owner)
            << w->metaObject()->className();
}

TEST_F(AboutBox, LinksOpenMailAndWebPageOnceEachAndTheBoxStaysOpen) {
    FakeXdgOpen xdgOpen;
    open();
    QTest::mouseClick(&label("Label1"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return xdgOpen.calls().size() >= 1; }, kvr::test::kPatience));
    QTest::mouseClick(&label("Label2"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return xdgOpen.calls().size() >= 2; }, kvr::test::kPatience));
    QTest::qWait(300);
    const QStringList calls = xdgOpen.calls();
    EXPECT_EQ(calls, QStringList({QStringLiteral("mailto:") + kContactMail, kContactWeb}));
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, InfButtonShowsItModalAndCentredAndTheCrossFreesIt) {
    QPointer<TAboutBox> seen;
    bool modal = false;
    QRect frame;
    kvr::test::whenShown<TAboutBox>([&](TAboutBox& shown) {
        seen = &shown;
        modal = shown.isModal();
        if (!QTest::qWaitForWindowExposed(&shown, kvr::test::kPatience))
            ADD_FAILURE() << "About box not shown";
        frame = shown.frameGeometry();
        QTest::mouseClick(shown.findChild<QToolButton*>("SpeedButton1"), Qt::LeftButton);
    });
    showAboutBox(owner);
    EXPECT_TRUE(modal);
    EXPECT_EQ(frame.size(), QSize(274, 143)) << "no frame, no title bar";
    EXPECT_LE((frame.center() - owner.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(seen.isNull());
}

}  // namespace
