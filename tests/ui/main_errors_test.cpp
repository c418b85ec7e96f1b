// The two message boxes and the top-level handler: what they say (through the accessibility
// tree), where they stand, how they answer the keyboard, and that the program goes on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app.h"
#include "base/error.h"
#include "errorbox.h"
#include "main_test_support.h"

namespace {

using namespace kvr::test;

TEST(FullStop, OnlyAfterACharacterAboveTheFullStop) {
    const std::pair<const char*, const char*> cases[] = {
        {"Windowの取得に失敗しました", "Windowの取得に失敗しました."},
        {"a", "a."},
        {"/tmp/x/kvr.ini に書き込めません", "/tmp/x/kvr.ini に書き込めません."},
        {"終了。", "終了。."},  // the ideographic full stop's first byte is above 0x2E too
        {"", ""},
        {"done.", "done."},
        {"value (x)", "value (x)"},
        {"trailing ", "trailing "},
        {"ok!", "ok!"},
        {"a-", "a-"},
        {"a/", "a/."},  // 0x2F is above the limit
    };
    for (auto [text, shown] : cases)
        EXPECT_EQ(kvr::withFullStop(text), shown) << text;
}

struct BoxLook {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QPoint centreOffset;
    bool textReadable = false;
    bool captionReadable = false;
};

// The box itself; the window manager's title bar comes on top of it.
QPoint centreOffset(const QMessageBox& box) {
    return box.geometry().center() - QGuiApplication::primaryScreen()->geometry().center();
}

BoxLook look(QMessageBox& box) {
    BoxLook l;
    l.caption = box.windowTitle();
    l.text = box.text();
    l.icon = box.icon();
    for (QAbstractButton* b : box.buttons())
        l.buttons << b->text();
    l.centreOffset = centreOffset(box);
    l.textReadable = hasAccessibleText(&box, box.text());
    l.captionReadable = hasAccessibleText(&box, box.windowTitle());
    return l;
}

// Shows the box by show, inspects it and answers it with key; returns what was seen.
BoxLook showAndAnswer(const std::function<void()>& show, Qt::Key key, bool* closed) {
    BoxLook seen;
    auto shown = whenMessageBoxShows([&](QMessageBox& box) {
        // The window manager places it in its own time, later on a loaded machine.
        (void)QTest::qWaitFor(
            [&] {
                const QPoint off = centreOffset(box);
                return std::abs(off.x()) <= 2 && std::abs(off.y()) <= 2;
            },
            5000);
        seen = look(box);
        QTest::keyClick(&box, key);
    });
    show();  // returns once the box is closed
    *closed = *shown && visibleMessageBox() == nullptr;
    return seen;
}

TEST(ErrorBox, StopIconOneOkCentredAndReadable) {
    bool closed = false;
    const BoxLook seen = showAndAnswer([] { kvr::showErrorBox("このOSには対応していません"); },
                                       Qt::Key_Return, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(seen.caption, "エラー");
    EXPECT_EQ(seen.text, "このOSには対応していません");  // no full stop in this box
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
    EXPECT_LE(std::abs(seen.centreOffset.x()), 2);
    EXPECT_LE(std::abs(seen.centreOffset.y()), 2);
    EXPECT_TRUE(seen.textReadable);
    EXPECT_TRUE(seen.captionReadable);
    showAndAnswer([] { kvr::showErrorBox("x"); }, Qt::Key_Escape, &closed);
    EXPECT_TRUE(closed) << "Escape answers it too";
}

// Counts the layout passes a widget gets.
class LayoutRequests : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::LayoutRequest;
        return false;
    }
};

TEST(ErrorBox, LongTextIsWrappedAtHalfTheScreen) {
    QString longText;
    for (int i = 0; i < 60; ++i)
        longText += "撮影できませんでした";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    int column = 0, lineHeight = 0, textHeight = 0, passes = -1;
    QRect box;
    auto shown = whenMessageBoxShows([&](QMessageBox& b) {
        LayoutRequests requests;
        b.installEventFilter(&requests);
        QTest::qWait(300);  // settled: no endless resizing between the toolkit and the box
        passes = requests.count;
        b.removeEventFilter(&requests);
        auto* label = b.findChild<QLabel*>("qt_msgbox_label");
        column = label->width();
        lineHeight = label->fontMetrics().lineSpacing();
        textHeight = label->height();
        box = b.geometry();
        QTest::keyClick(&b, Qt::Key_Escape);
    });
    kvr::showErrorBox(longText);
    ASSERT_TRUE(*shown);
    EXPECT_EQ(column, screen.width() / 2);
    EXPECT_GE(textHeight, 2 * lineHeight) << "the text is wrapped, all of it shown";
    EXPECT_TRUE(screen.contains(box)) << "the box is on the screen";
    EXPECT_LE(passes, 2);
}

TEST(ErrorBox, ShortTextKeepsOneLine) {
    int column = 0, natural = 0, textHeight = 0, lineHeight = 0;
    auto shown = whenMessageBoxShows([&](QMessageBox& b) {
        auto* label = b.findChild<QLabel*>("qt_msgbox_label");
        column = label->width();
        natural = label->fontMetrics().horizontalAdvance(label->text());
        textHeight = label->height();
        lineHeight = label->fontMetrics().lineSpacing();
        QTest::keyClick(&b, Qt::Key_Escape);
    });
    kvr::showErrorBox("Windowの取得に失敗しました");
    ASSERT_TRUE(*shown);
    EXPECT_GE(column, natural);
    EXPECT_LT(textHeight, 2 * lineHeight);
}

// Everything written to this process's standard error while action runs.
std::string stderrDuring(const std::function<void()>& action) {
    const TempDir dir("kvr-stderr");
    const std::filesystem::path name = dir / "stderr";
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    fflush(stderr);
    const int saved = dup(2);
    dup2(file, 2);
    action();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    return readText(name);
}

TEST(Messages, ToolkitOutputIsDroppedAndFatalStillEnds) {
    // Where the toolkit would rather log to the system journal, make it use standard error.
    qputenv("QT_FORCE_STDERR_LOGGING", "1");
    const std::string before = stderrDuring([] { qWarning("kvr-visible"); });
    kvr::installQuietMessageHandler();
    const std::string after = stderrDuring([] {
        qDebug("kvr-debug");
        qInfo("kvr-info");
        qWarning("Unable to detect a web browser to launch");
        qCritical("kvr-critical");
    });
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_DEATH(qFatal("kvr-fatal"), "kvr-fatal");
    qInstallMessageHandler(nullptr);
    EXPECT_NE(before.find("kvr-visible"), std::string::npos) << "the check sees the output";
    EXPECT_EQ(after, "");
}

// An object whose event handler fails, as a window procedure can.
class FailingObject : public QObject {
protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw kvr::KvrError("ファイルを作成できません");
        return QObject::event(e);
    }
};

TEST(TopLevelHandler, ShowsTheMessageWithTheCurrentTitleAndGoesOn) {
    kvr::KvrApplication::setTitle("撮影中");
    FailingObject failing;
    BoxLook seen;
    auto shown = whenMessageBoxShows([&](QMessageBox& box) {
        seen = look(box);
        box.button(QMessageBox::Ok)->click();
    });
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    (void)QTest::qWaitFor([&] { return *shown; }, 5000);
    kvr::KvrApplication::setTitle("Kelvoro");
    ASSERT_TRUE(*shown);
    EXPECT_EQ(seen.caption, "撮影中");
    EXPECT_EQ(seen.text, "ファイルを作成できません.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
    EXPECT_TRUE(seen.textReadable);
    // The loop goes on: later events are still delivered.
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    QTest::qWait(50);
    EXPECT_TRUE(later);
}

TEST(TopLevelHandler, HandlerErrorsAreShownAfterTheHandlerEnds) {
    bool cleanedUp = false;
    BoxLook seen;
    bool cleanedUpWhenShown = false;
    auto shown = whenMessageBoxShows([&](QMessageBox& box) {
        seen = look(box);
        cleanedUpWhenShown = cleanedUp;
        QTest::keyClick(&box, Qt::Key_Return);
    });
    kvr::runHandler([&] {
        struct CleanUp {
            bool& flag;
            ~CleanUp() { flag = true; }
        } cleanUp{cleanedUp};
        throw kvr::KvrError("Windowの取得に失敗しました");
    });
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(cleanedUpWhenShown);
    EXPECT_EQ(seen.caption, "Kelvoro");
    EXPECT_EQ(seen.text, "Windowの取得に失敗しました.");
}

}  // namespace
