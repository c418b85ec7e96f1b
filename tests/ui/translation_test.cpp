// The user's language: Japanese as written under a Japanese locale and wherever no translation
// applies; English under an English locale, for the fixed texts, the windows (but the main
// window's English captions), the message boxes and the notification.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/texts.h"
#include "core/outfile.h"
#include "dialog_test_support.h"
#include "errorbox.h"
#include "main.h"
#include "opt.h"
#include "translate.h"
#include "ver.h"

namespace {

using namespace kvr::test;

// Every fixed text of base/texts.h, by name (listed from the header by the build).
const std::pair<std::string_view, const char*> kAllTexts[] = {
#include "all_texts.inc"
};

// The texts the user reads in a window, a box or the notification: all but the program's name
// and the lines printed before any window, in the words of the display tools.
std::vector<const char*> userTexts() {
    std::vector<const char*> texts;
    for (const auto& [name, text] : kAllTexts)
        if (name != "kTitle" && !name.starts_with("kNoDisplay") && name != "kNoWaylandDisplay")
            texts.push_back(text);
    return texts;
}

TEST(Language, ComesFromTheLocaleName) {
    for (const char* english : {"en", "en_US", "en_GB.UTF-8", "en_IE@euro", "EN_us.utf8"})
        EXPECT_EQ(kvr::translationLanguage(english), "en") << english;
    for (const char* japanese : {"ja_JP.UTF-8", "ja", "C", "C.UTF-8", "POSIX", "fr_FR.UTF-8", ""})
        EXPECT_EQ(kvr::translationLanguage(japanese), "") << japanese;
}

// Installs the translation the program would install under these locale variables.
QString installFor(const char* lcAll, const char* lang) {
    lcAll ? setenv("LC_ALL", lcAll, 1) : unsetenv("LC_ALL");
    setenv("LANG", lang, 1);
    return kvr::installTranslation(*qApp);
}

void removeTranslations() {
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

TEST(Language, JapaneseAndCKeepTheTextsAsWritten) {
    for (auto [lcAll, lang] : {std::pair<const char*, const char*>{nullptr, "ja_JP.UTF-8"},
                               {nullptr, "C.UTF-8"},
                               {"POSIX", "en_US.UTF-8"},  // LC_ALL wins over LANG
                               {nullptr, "de_DE.UTF-8"}}) {
        EXPECT_EQ(installFor(lcAll, lang), "") << lang;
        for (const char* text : userTexts())
            EXPECT_EQ(kvr::translated(text), QString::fromUtf8(text));
        TForm1 form{services()};
        EXPECT_EQ(form.findChild<QToolButton*>("SpeedButtonOpt")->toolTip(), "設定");
        // The toolkit's own texts too (the folder chooser's buttons).
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
        removeTranslations();
    }
}

TEST(Language, EnglishLocalesSpeakEnglish) {
    ASSERT_EQ(installFor(nullptr, "en_GB.UTF-8"), "en");
    ASSERT_GT(userTexts().size(), 30u);  // the list was made
    // Every fixed text has its English, with its values in the same places.
    for (const char* text : userTexts()) {
        const QString english = kvr::translated(text);
        EXPECT_NE(english, QString::fromUtf8(text)) << text;
        for (const char* place : {"%1", "%2"})
            EXPECT_EQ(english.contains(place), QString::fromUtf8(text).contains(place)) << text;
    }
    EXPECT_EQ(kvr::fillTranslated(kvr::text::kSavedBody, {"ALL_J00.jpg", "/home/u/Desktop"}),
              "ALL_J00.jpg saved in /home/u/Desktop");
    // An error raised with a fixed text reaches the user translated, with its values.
    const auto error =
        std::make_exception_ptr(kvr::KvrError(kvr::text::kCannotWrite, {"/x/kvr.ini"}));
    EXPECT_EQ(kvr::errorMessage(error), "Cannot write to /x/kvr.ini");
    // The system's reason too, when it is one of the usual ones.
    EXPECT_EQ(kvr::errorMessage(std::make_exception_ptr(kvr::fileCreateError("/x/a.bmp", ELOOP))),
              "Cannot create file \"/x/a.bmp\": It is a symbolic link (links are not written "
              "through)");

    // The main window: English hints and names, its English captions as they are.
    TForm1 form{services()};
    EXPECT_EQ(form.findChild<QToolButton*>("SpeedButtonOpt")->toolTip(), "Options");
    EXPECT_EQ(form.findChild<QToolButton*>("SpeedButtonOpt")->text(), "Opt");
    EXPECT_EQ(form.findChild<QToolButton*>("SpeedButtonSHOT")->text(), "Shot");
    EXPECT_EQ(form.findChild<QToolButton*>("SpeedButtonACT")->text(), "Active Form");
    EXPECT_EQ(form.findChild<QLabel*>("Label4")->text(), "Screen Shot Type");
    EXPECT_EQ(form.windowTitle(), "Kelvoro");
    // The dialogs.
    TForm2 options(form, form.optionsTarget());
    EXPECT_EQ(options.windowTitle(), "Options");
    EXPECT_EQ(options.findChild<QToolButton*>("SpeedButton1")->text(), "Close");
    EXPECT_EQ(options.findChild<QTabWidget*>("PageControl1")->tabText(2), "File name");
    TAboutBox about(form);
    EXPECT_EQ(about.windowTitle(), "About Kelvoro");
    // The message boxes.
    QString caption, text;
    whenShown<QMessageBox>([&](QMessageBox& box) {
        caption = box.windowTitle();
        text = box.text();
        box.accept();
    });
    kvr::showErrorBox(kvr::translated(kvr::text::kUnsupportedOs));
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(text, "This operating system is not supported");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    removeTranslations();
    unsetenv("LC_ALL");
    setenv("LANG", "C.UTF-8", 1);
}

}  // namespace
