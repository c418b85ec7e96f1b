// Without a display to show on: the program and `make run` say so in one line and stop, instead
// of the toolkit's abort (program) or minutes of building first (make run).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    std::string output;  // standard output and error
    int status = -1;
};

Outcome shell(const std::string& command) {
    Outcome outcome;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        outcome.output.append(buffer, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string unusedDisplay() {
    for (int n = 900;; ++n)
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) &&
            !fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            return ":" + std::to_string(n);
}

// The environment of a terminal outside any desktop session.
const std::string kNoSession =
    "env -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u QT_QPA_PLATFORM -u DISPLAY ";

TEST(NoDisplay, TheProgramNamesTheDisplayInOneLineAndEndsWithOne) {
    const std::string display = unusedDisplay();
    const Outcome unreachable = shell(kNoSession + "DISPLAY=" + display + " " KVR_PROGRAM);
    EXPECT_EQ(unreachable.output, "cannot connect to X display " + display + "\n");
    EXPECT_EQ(unreachable.status, 1);
    const Outcome unset = shell(kNoSession + KVR_PROGRAM);
    EXPECT_EQ(unset.output, "cannot connect to X display (DISPLAY is not set)\n");
    EXPECT_EQ(unset.status, 1);
}

TEST(NoDisplay, MakeRunStopsBeforeBuildingAnything) {
    const fs::path build = fs::temp_directory_path() / ("kvr-make-run-" + std::to_string(getpid()));
    for (const std::string& display : {std::string(), "DISPLAY=" + unusedDisplay() + " "}) {
        const Outcome run = shell(kNoSession + display +
                                  "make -s -C " KVR_SOURCE_DIR " run BUILD=" + build.string());
        EXPECT_NE(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("cannot connect to X display"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(build)) << "it started building";
    }
    fs::remove_all(build);
}

}  // namespace
