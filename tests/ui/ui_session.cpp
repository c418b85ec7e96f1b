#include "ui_session.h"

#include <cstdlib>
#include <string>

#include "core/settings.h"

namespace kvr::test {

UiSession::UiSession(XServer::Options screen) : server_(screen) {
    server_.exportDisplay();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    std::string pattern = (std::filesystem::temp_directory_path() / "kvr-ui-XXXXXX").string();
    home_ = mkdtemp(pattern.data());
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    setSettingsFilePathForTesting((home_ / "kvr.ini").string());
}

UiSession::~UiSession() {
    setSettingsFilePathForTesting("");
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
}

}  // namespace kvr::test
