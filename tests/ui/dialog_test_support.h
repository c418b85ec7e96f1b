#pragma once
// Helpers shared by the options dialog and About box tests: the test's own kvr.ini and finding
// the windows the program opens while a modal loop runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

#include "core/settings.h"
#include "file_support.h"
#include "main.h"
#include "opt.h"
#include "ui_session.h"

namespace kvr::test {

// How long to wait for the X server, openbox or a child process before a check fails; generous,
// as the tests share a small machine.
constexpr int kPatience = 20000;

inline std::string iniPath() {
    return UiSession::current().settingsPath();
}

inline void writeIni(const std::string& text) {
    writeText(iniPath(), text);
}

inline std::string readIni() {
    return readText(iniPath());
}

inline bool iniExists() {
    return std::filesystem::exists(iniPath());
}
inline void removeIni() {
    std::filesystem::remove(iniPath());
}

// The first visible top-level widget of type T, or nullptr.
template <typename T>
T* visibleTopLevel() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    }
    return nullptr;
}

// Runs action on the first visible top-level T once it shows (polling from the event loop, so it
// also works inside a modal dialog's loop). Gives up silently after a generous while; the
// test's own checks then fail.
template <typename T>
void whenShown(std::function<void(T&)> action, int triesLeft = kPatience / 25) {
    QTimer::singleShot(25, [action = std::move(action), triesLeft] {
        if (T* t = visibleTopLevel<T>()) {
            action(*t);
        } else if (triesLeft > 0) {
            whenShown<T>(action, triesLeft - 1);
        }
    });
}

// An options dialog opened as the "Opt" button does, but without the modal loop, on a fresh
// kvr.ini.
class OptDialogTest : public ::testing::Test {
protected:
    void SetUp() override { removeIni(); }
    void TearDown() override { removeIni(); }

    TForm2& open() {
        form.reset();
        form = std::make_unique<TForm2>(owner, owner.optionsTarget());
        form->loadSettings();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get(), kPatience));
        return *form;
    }
    template <typename T>
    T& find(const char* name) {
        T* w = form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }

    TForm1 owner{kvr::test::services()};
    std::unique_ptr<TForm2> form;
};

}  // namespace kvr::test
