#pragma once
// Running the one-grab program inside a session, and checking its picture against the pattern
// window's known colours.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "wayland_session.h"

namespace kvr::test {

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Area&) const = default;
};

struct Grab {
    ProcessResult process;
    QImage image;  // null when none was written
    bool supported = false;
};

// kvr_wl_grab SOURCE MODE in the session, its picture read back and removed.
inline Grab runGrab(WaylandSession& session, const std::string& program, const std::string& source,
                    const std::string& mode, const std::vector<std::string>& extra = {}) {
    const std::string out = session.runtimeDir() + "/grab.png";
    std::remove(out.c_str());
    std::vector<std::string> argv = {program, source, mode, out};
    argv.insert(argv.end(), extra.begin(), extra.end());
    Grab grab;
    grab.process = session.run(argv, std::chrono::seconds(90));
    grab.supported = grab.process.out.find("supports 1") != std::string::npos;
    grab.image = QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
    std::remove(out.c_str());
    return grab;
}

inline uint32_t rgbAt(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xffffff;
}

// Every pixel of `area` has `colour`; on a mismatch, the first one found.
inline ::testing::AssertionResult filledWith(const QImage& img, Area area, uint32_t colour) {
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const bool inside = x >= 0 && y >= 0 && x < img.width() && y < img.height();
            if (!inside || rgbAt(img, x, y) != colour) {
                std::ostringstream s;
                s << "pixel " << x << "," << y << " is " << std::hex
                  << (inside ? rgbAt(img, x, y) : 0) << ", not " << colour;
                return ::testing::AssertionFailure() << s.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Where the pattern window's content is in a picture: the top-left pixel of its white bar with
// the other seven bars' colours at their places to its right.
inline std::optional<Area> findPattern(const QImage& img) {
    const int bar = WaylandSession::kPatternBarWidth;
    for (int y = 0; y + WaylandSession::kPatternHeight <= img.height(); ++y) {
        for (int x = 0; x + WaylandSession::kPatternWidth <= img.width(); ++x) {
            if (rgbAt(img, x, y) != WaylandSession::kPatternColours[0])
                continue;
            if ((x > 0 && rgbAt(img, x - 1, y) == 0xffffff) ||
                (y > 0 && rgbAt(img, x, y - 1) == 0xffffff))
                continue;
            bool all = true;
            for (int i = 1; i < 8 && all; ++i)
                all = rgbAt(img, x + i * bar, y) == WaylandSession::kPatternColours[i];
            if (all)
                return Area{x, y, WaylandSession::kPatternWidth, WaylandSession::kPatternHeight};
        }
    }
    return std::nullopt;
}

// The eight bars, whole and in their exact colours, with `content` their place; only their top
// `rows` when something is known to lie over the rest.
inline void expectBars(const QImage& img, Area content, int rows = -1) {
    const int bar = WaylandSession::kPatternBarWidth;
    const int height = rows < 0 ? content.height : rows;
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(filledWith(img, {content.x + i * bar, content.y, bar, height},
                               WaylandSession::kPatternColours[i]))
            << "bar " << i;
}

}  // namespace kvr::test
