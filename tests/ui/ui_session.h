#pragma once
// A private desktop for the program's windows under test: Xvfb with openbox, Qt on xcb without
// its own scaling (the server is 96 dpi), and a temp HOME holding the desktop folder and kvr.ini,
// so nothing touches the developer's own. All of it goes when the session does.
#include <filesystem>

#include "xserver.h"

namespace kvr::test {

class UiSession {
public:
    explicit UiSession(XServer::Options screen = {});
    ~UiSession();
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

private:
    XServer server_;
    std::filesystem::path home_;
};

}  // namespace kvr::test
