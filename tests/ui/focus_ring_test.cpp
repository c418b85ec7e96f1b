// The focus ring: drawn around whichever control has the keyboard focus, outside it (hiding none
// of it), in every window, and gone while no control of the window has the focus.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "dialog_test_support.h"
#include "focusring.h"
#include "main.h"
#include "ver.h"

namespace {

using namespace kvr::test;

QRect inWindow(const QWidget& w) {
    return QRect(w.mapTo(w.window(), QPoint()), w.size());
}

void expectRingAround(QWidget& window, QWidget& control) {
    const auto* ring = window.findChild<kvr::FocusRing*>("FocusRing");
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->target(), &control) << control.objectName().toStdString();
    EXPECT_TRUE(ring->isVisible());
    const QRect around = ring->geometry();
    const QRect inside = inWindow(control);
    EXPECT_TRUE(around.contains(inside)) << control.objectName().toStdString();
    EXPECT_NE(around, inside) << "drawn outside the control";
}

TEST(FocusRing, FollowsTheFocusAndLeavesWithIt) {
    TForm1 form{services()};
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, kPatience));
    for (const char* name : {"Edit1", "SpeedButtonSHOT", "SpeedButtonEXIT"}) {
        auto* control = form.findChild<QWidget*>(name);
        control->setFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        expectRingAround(form, *control);
    }
    // A click on a choice takes the focus, and the ring, with it.
    for (const char* name : {"SpeedButtonALL", "SpeedButtonBMP"}) {
        auto* choice = form.findChild<QToolButton*>(name);
        QTest::mouseClick(choice, Qt::LeftButton);
        QTest::qWait(20);
        expectRingAround(form, *choice);
    }
    // In the About box, around its "×"; the main window's ring is gone meanwhile.
    TAboutBox about(form);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about, kPatience));
    QTest::qWait(50);
    expectRingAround(about, *about.findChild<QToolButton*>("SpeedButton1"));
    EXPECT_FALSE(form.findChild<kvr::FocusRing*>("FocusRing")->isVisible());
    about.close();
    form.hide();
}

// The window opens with the focus, and its ring, on the saved capture choice: a ring on the
// other one would make both look chosen.
TEST(FocusRing, StartsOnTheSavedCaptureChoice) {
    for (const auto& [ini, name] : {std::pair{"[CreatFlg]\ntype=0\n", "SpeedButtonACT"},
                                    {"[CreatFlg]\ntype=1\n", "SpeedButtonALL"},
                                    {"[CreatFlg]\ntype=2\n", "SpeedButtonRGN"}}) {
        writeIni(ini);
        TForm1 form{services()};
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form, kPatience));
        QTest::qWait(20);
        expectRingAround(form, *form.findChild<QWidget*>(name));
        form.hide();
    }
    removeIni();
}

}  // namespace
