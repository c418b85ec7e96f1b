#pragma once
// A private X server (Xvfb) and, when asked for, a real window manager (openbox) for one test
// binary. Started in the constructor, stopped in the destructor; nothing is shared with the
// developer's own display.
#include <optional>
#include <string>

#include "process.h"

namespace kvr::test {

// The window manager a server runs: openbox, or one whose manners a test is about.
enum class WindowManagerKind { Openbox, Metacity, I3 };

class XServer {
public:
    struct Options {
        int width = 1024;
        int height = 768;
        int depth = 24;
        bool windowManager = true;
        // Dots per inch, told to the toolkit as the desktops do it (Xft.dpi), and to the server.
        int dpi = 96;
        WindowManagerKind kind = WindowManagerKind::Openbox;
    };

    XServer();
    explicit XServer(Options options);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", ready to be used as DISPLAY.
    const std::string& display() const { return display_; }
    // Points DISPLAY of this process at the server.
    void exportDisplay() const;
    const Options& options() const { return options_; }

private:
    void startServer();
    void announceDpi();
    void startWindowManager();
    Options options_;
    std::string display_;
    std::optional<Process> server_;
    std::optional<Process> windowManager_;
};

}  // namespace kvr::test
