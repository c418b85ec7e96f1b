// The windows on screens of 96, 144 and 192 dpi (ctest runs this binary at each, see
// CMakeLists.txt): every caption inside its frame, the slider's ticks clear of their labels,
// pictures drawn at the screen's own pixels, message boxes wrapped by the same rule each time.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/texts.h"
#include "dialog_test_support.h"
#include "errorbox.h"
#include "layoutscale.h"
#include "main.h"
#include "opt.h"
#include "pictures.h"
#include "translate.h"
#include "ver.h"

namespace {

using namespace kvr::test;

// Device pixels per layout pixel: the layout's own scale times the toolkit's.
double deviceScale(const QWidget& w) {
    return kvr::layoutScale() * w.devicePixelRatioF();
}

QRect inWindow(const QWidget& w) {
    return QRect(w.mapTo(w.window(), QPoint()), w.size());
}

// The text of a control fits its width, and a free-standing caption stays inside the frame it
// sits on.
void expectCaptionsFit(QWidget& window) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->wordWrap() || !label->isVisibleTo(&window))
            continue;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString();
        const QWidget* parent = label->parentWidget();
        for (const QFrame* frame : parent->findChildren<QFrame*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<const QLabel*>(frame) || !frame->geometry().contains(label->pos()))
                continue;
            EXPECT_LE(label->geometry().right(), frame->geometry().right() - frame->frameWidth())
                << label->objectName().toStdString() << " runs past "
                << frame->objectName().toStdString();
        }
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty())
            continue;
        const int wanted = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)
                               ? button->sizeHint().width()
                               : button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_LE(wanted, button->width()) << button->objectName().toStdString();
    }
    for (QGroupBox* box : window.findChildren<QGroupBox*>())
        EXPECT_LE(box->fontMetrics().horizontalAdvance(box->title()), box->width())
            << box->objectName().toStdString();
}

TEST(Dpi, EveryCaptionFitsItsFrame) {
    TForm1 form{services()};
    expectCaptionsFit(form);
    TForm2 options(form, form.optionsTarget());
    options.loadSettings();
    expectCaptionsFit(options);
    TAboutBox about(form);
    expectCaptionsFit(about);
}

// The pairs of controls the user reads or works that share pixels (a picture or a frame under
// them is meant to), by name; each window as it is laid out on screen, each page of the options.
std::set<std::string> overlaps() {
    std::set<std::string> found;
    const auto check = [&](QWidget& window) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kPatience));
        std::vector<QWidget*> controls;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            const auto* label = qobject_cast<QLabel*>(w);
            const bool control = (label && !label->text().isEmpty()) ||
                                 qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<QLineEdit*>(w) || qobject_cast<QSlider*>(w);
            if (control && w->isVisibleTo(&window))
                controls.push_back(w);
        }
        for (QWidget* a : controls)
            for (QWidget* b : controls)
                if (a < b && !a->isAncestorOf(b) && !b->isAncestorOf(a) &&
                    inWindow(*a).intersects(inWindow(*b)))
                    found.insert(std::min(a->objectName(), b->objectName()).toStdString() +
                                 " and " +
                                 std::max(a->objectName(), b->objectName()).toStdString());
    };
    TForm1 form{services()};
    check(form);
    TForm2 options(form, form.optionsTarget());
    options.loadSettings();
    auto* pages = options.findChild<QTabWidget*>("PageControl1");
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        check(options);
    }
    TAboutBox about(form);
    check(about);
    return found;
}

// The longer English captions run into nothing: the only overlaps are the layout's own (the
// arrows riding the timer box, a caption on its frame's edge), there in Japanese too.
TEST(Dpi, InEnglishNoControlsOverlap) {
    const std::set<std::string> designed = overlaps();
    setenv("LANG", "en_GB.UTF-8", 1);
    ASSERT_EQ(kvr::installTranslation(*qApp), "en");
    for (const std::string& pair : overlaps())
        EXPECT_TRUE(designed.contains(pair)) << pair << " overlap";
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    setenv("LANG", "C.UTF-8", 1);
}

// Every tab of the options shows at once and whole; Tab stops on controls only, never on the tab
// bar's scroll arrows; the JPEG page's frame keeps clear of the tab bar.
void expectTabsFitAndTabStopsOnControls() {
    TForm1 form{services()};
    TForm2 options(form, form.optionsTarget());
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&options, kPatience));
    auto* pages = options.findChild<QTabWidget*>("PageControl1");
    QTabBar* bar = pages->tabBar();
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i).translated(inWindow(*bar).topLeft());
        EXPECT_TRUE(options.rect().contains(tab)) << i;
        EXPECT_GT(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i))) << i;
    }
    EXPECT_GT(inWindow(*options.findChild<QGroupBox*>("GroupBox1")).top(),
              inWindow(*bar).bottom() + 1);
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        bar->setFocus(Qt::TabFocusReason);
        QWidget* w = bar;
        for (int stop = 0; stop < 12 && w; ++stop) {
            QTest::keyClick(w, Qt::Key_Tab);
            if ((w = QApplication::focusWidget()) == bar || !w)
                break;
            EXPECT_TRUE(!qobject_cast<QTabBar*>(w->parentWidget()) &&
                        (w->inherits("QAbstractButton") || w->inherits("QComboBox") ||
                         w->inherits("QSlider") || w->inherits("QLineEdit")))
                << "page " << page << ": " << w->objectName().toStdString();
        }
        EXPECT_EQ(w, bar);
    }
}

TEST(Dpi, EveryTabShowsAtOnceInBothLanguages) {
    expectTabsFitAndTabStopsOnControls();
    setenv("LANG", "en_GB.UTF-8", 1);
    ASSERT_EQ(kvr::installTranslation(*qApp), "en");
    expectTabsFitAndTabStopsOnControls();
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    setenv("LANG", "C.UTF-8", 1);
}

TEST(Dpi, TheSlidersTicksClearTheirLabels) {
    TForm1 form{services()};
    TForm2 options(form, form.optionsTarget());
    const auto* slider = options.findChild<QSlider*>("TrackBar1");
    ASSERT_NE(slider, nullptr);
    for (const char* name : {"Label2", "Label3"}) {
        const auto* label = options.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr);
        // The ticks are drawn along the slider's top edge.
        EXPECT_GT(inWindow(*slider).top(), inWindow(*label).bottom()) << name;
    }
    const auto* group = options.findChild<QGroupBox*>("GroupBox1");
    EXPECT_LE(inWindow(*slider).bottom(), inWindow(*group).bottom()) << "inside its group";
}

// A label's pixmap covers it pixel for pixel on the screen, and comes from the picture made for
// that density, not from the 1x one blown up.
void expectSharp(const QLabel& label, const QString& path, QSize logical) {
    const QPixmap pixmap = label.pixmap();
    ASSERT_FALSE(pixmap.isNull()) << label.objectName().toStdString();
    const double ratio = label.devicePixelRatioF();
    EXPECT_EQ(pixmap.size(), (QSizeF(logical) * ratio).toSize())
        << label.objectName().toStdString();
    EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
    // The picture taken has at least the screen's density (a window that stretches a picture
    // at 96 dpi stretches it as much at 192).
    const QString variant =
        kvr::pictureVariant(path, double(pixmap.width()) / QImage(path).width());
    const double density = double(QImage(variant).width()) / QImage(path).width();
    EXPECT_GE(density, deviceScale(label) - 0.01) << variant.toStdString() << " is blown up";
}

TEST(Dpi, PicturesAreDrawnAtTheScreensOwnPixels) {
    TForm1 form{services()};
    const auto* background = form.findChild<QLabel*>("Image2");
    expectSharp(*background, ":/background.jpg", background->size());
    TAboutBox about(form);
    const auto* aboutBackground = about.findChild<QLabel*>("Image1");
    expectSharp(*aboutBackground, ":/background.jpg", aboutBackground->size());
    const double layout = kvr::layoutScale();
    expectSharp(*about.findChild<QLabel*>("Image3"), ":/logo.bmp",
                (QSizeF(130, 30) * layout).toSize());
    expectSharp(*about.findChild<QLabel*>("Image2"), ":/maker.jpg",
                (QSizeF(60, 30) * layout).toSize());
}

TEST(Dpi, MessageBoxesKeepTheWidthRuleEveryTime) {
    const QString text = kvr::fillTranslated(kvr::text::kNoFreeName, {QStringLiteral("/tmp")})
                             .replace("\r\n", "\n") +
                         QStringLiteral("\n") + QString(80, QChar(0x30C6));  // a long line
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QSize first;
    for (int run = 0; run < 10; ++run) {
        QSize size;
        int column = 0;
        whenShown<QMessageBox>([&](QMessageBox& box) {
            (void)QTest::qWaitForWindowExposed(&box, kPatience);
            QTest::qWait(50);
            size = box.size();
            column = box.findChild<QLabel*>("qt_msgbox_label")->width();
            box.accept();
        });
        kvr::showErrorBox(text);
        EXPECT_EQ(column, half) << "run " << run;
        EXPECT_LT(size.width(), half + 200) << "run " << run;
        if (run == 0)
            first = size;
        EXPECT_EQ(size, first) << "run " << run;
    }
}

}  // namespace
