#pragma once
// Helpers of the main window's UI tests: what the X server holds for a window (title, state),
// what the accessibility tree says, and waiting for message boxes.
#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "dialog_test_support.h"

// After Qt: Xlib's macros (None, Bool, ...) would break Qt's headers. Include this file last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kvr::test {

// A connection of the test's own, as another client (a taskbar) sees the server.
class XClient {
public:
    XClient() : display_(XOpenDisplay(nullptr)) {}
    ~XClient() {
        if (display_)
            XCloseDisplay(display_);
    }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;
    Display* display() const { return display_; }

    // _NET_WM_NAME (UTF-8) of a window; the same text as a taskbar reads.
    std::string netWmName(Window window) const { return utf8Property(window, "_NET_WM_NAME"); }
    std::string netWmIconName(Window window) const {
        return utf8Property(window, "_NET_WM_ICON_NAME");
    }

    // WM_NAME, converted from whatever encoding the client chose to UTF-8.
    std::string wmName(Window window) const {
        XTextProperty text{};
        if (!XGetWMName(display_, window, &text) || !text.value)
            return {};
        char** list = nullptr;
        int count = 0;
        std::string result;
        if (Xutf8TextPropertyToTextList(display_, &text, &list, &count) >= Success && count > 0)
            result = list[0];
        if (list)
            XFreeStringList(list);
        XFree(text.value);
        return result;
    }

    // WM_STATE as the window manager set it: 1 normal, 3 iconic, -1 none.
    long wmState(Window window) const {
        const Atom state = XInternAtom(display_, "WM_STATE", False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        long result = -1;
        if (XGetWindowProperty(display_, window, state, 0, 2, False, state, &type, &format, &count,
                               &after, &data) == Success &&
            data && count >= 1)
            result = reinterpret_cast<long*>(data)[0];
        if (data)
            XFree(data);
        return result;
    }

    bool viewable(Window window) const {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display_, window, &attributes) &&
               attributes.map_state == IsViewable;
    }

private:
    std::string utf8Property(Window window, const char* name) const {
        const Atom property = XInternAtom(display_, name, False);
        const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string result;
        if (XGetWindowProperty(display_, window, property, 0, 1024, False, utf8, &type, &format,
                               &count, &after, &data) == Success &&
            data)
            result.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        return result;
    }

    Display* display_;
};

// Waits until the toolkit's own requests have reached the server, so another client sees them.
inline void syncWithServer() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        XSync(x11->display(), False);
}

inline bool waitExposed(QWidget* window) {
    return QTest::qWaitForWindowExposed(window, kPatience);
}

inline QMessageBox* visibleMessageBox() {
    return visibleTopLevel<QMessageBox>();
}

// Runs action on the first message box that shows (from inside its modal loop), once the window
// manager has mapped it. The flag tells whether one showed.
inline std::shared_ptr<bool> whenMessageBoxShows(std::function<void(QMessageBox&)> action) {
    auto shown = std::make_shared<bool>(false);
    whenShown<QMessageBox>([=](QMessageBox& box) {
        *shown = true;
        (void)waitExposed(&box);
        action(box);
    });
    return shown;
}

// Every text of the accessibility tree under a widget (names, values, descriptions), as a
// screen reader gets them.
inline void collectAccessibleTexts(QAccessibleInterface* node, std::vector<QString>& out,
                                   int depth = 0) {
    if (!node || depth > 20)
        return;
    for (auto kind : {QAccessible::Name, QAccessible::Value, QAccessible::Description}) {
        const QString text = node->text(kind);
        if (!text.isEmpty())
            out.push_back(text);
    }
    for (int i = 0; i < node->childCount(); ++i)
        collectAccessibleTexts(node->child(i), out, depth + 1);
}

inline std::vector<QString> accessibleTexts(QObject* object) {
    std::vector<QString> out;
    collectAccessibleTexts(QAccessible::queryAccessibleInterface(object), out);
    return out;
}

inline bool hasAccessibleText(QObject* object, const QString& text) {
    for (const QString& t : accessibleTexts(object))
        if (t == text)
            return true;
    return false;
}

// The settings file of this test binary (ui_test_main puts it in the temp HOME), emptied.
inline std::filesystem::path freshSettingsFile() {
    const std::filesystem::path path = iniPath();
    std::filesystem::remove(path);
    return path;
}

}  // namespace kvr::test
