// The command line's words to what a shot will do, or to the usage error it is.
#include <gtest/gtest.h>

#include "base/texts.h"
#include "cli/options.h"
#include "cli/texts_table.h"

namespace kvr::cli {
namespace {

struct Row {
    std::vector<std::string> args;
    bool terminal;  // stdout is a terminal
    Action action;
    const char* error = nullptr;  // the usage error's text
    std::function<void(const ShotOptions&)> check = {};
};

TEST(CommandLine, EachLineGivesItsActionOrError) {
    const Row rows[] = {
        {{}, true, Action::Window},
        {{"--shot"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.delay, 0);
             EXPECT_EQ(o.request.mode, ShotMode::AllScreen);
             EXPECT_EQ(o.request.monitor, MonitorChoice::Primary);
             EXPECT_FALSE(o.output || o.type || o.quality || o.clipboard || o.grey);
             EXPECT_FALSE(o.monitorGiven || o.noPointer || o.noClipboard) << "the saved ones";
             EXPECT_TRUE(o.notify);
         }},
        // Any option implies --shot; short options group, values join or follow.
        {{"-wpcn"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.request.mode, ShotMode::ActiveWindow);
             EXPECT_TRUE(o.request.pointer && o.clipboard && !o.notify);
         }},
        {{"-d5", "-q", "100", "--type=PNG", "--grey"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.delay, 5);
             EXPECT_EQ(o.quality, 100);
             EXPECT_EQ(o.type, SaveFormat::Png);
             EXPECT_TRUE(o.grey);
         }},
        {{"--delay", "3600", "--monitor=all", "-o", "a b.jpg"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.delay, 3600);
             EXPECT_EQ(o.request.monitor, MonitorChoice::All);
             EXPECT_EQ(o.output, "a b.jpg");
         }},
        {{"-m", "pointer"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) { EXPECT_EQ(o.request.monitor, MonitorChoice::UnderPointer); }},
        {{"-mHDMI-A-1"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) { EXPECT_EQ(o.request.output, "HDMI-A-1"); }},
        {{"-o", "-"},
         false,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) { EXPECT_EQ(o.output, "-"); }},
        // A saved pointer or clipboard turned off for one shot; the last word wins.
        {{"-pc", "--no-pointer", "--no-clipboard", "-m", "primary"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_TRUE(o.noPointer && o.noClipboard && o.monitorGiven);
             EXPECT_FALSE(o.request.pointer || o.clipboard);
         }},
        {{"-t", "png", "-o", "a.PNG"}, true, Action::Shot},
        // A region: chosen after the delay, or given; the last mode word wins.
        {{"-r", "-d", "3"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.request.mode, ShotMode::Region);
             EXPECT_FALSE(o.geometry);
         }},
        {{"--geometry=1280x720+10+20"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.request.mode, ShotMode::Region);
             EXPECT_EQ(o.geometry, (ScreenRect{10, 20, 1280, 720}));
         }},
        {{"-g1x1+0+0", "-w"},
         true,
         Action::Shot,
         nullptr,
         [](const ShotOptions& o) {
             EXPECT_EQ(o.request.mode, ShotMode::ActiveWindow);
             EXPECT_FALSE(o.geometry);
         }},
        {{"--list-monitors"}, true, Action::ListMonitors},
        {{"-d", "2", "-h"}, true, Action::Help},
        {{"--version"}, true, Action::Version},
        // Usage errors (status 2).
        {{"-o", "-"}, true, Action::UsageError, text::kCliStdoutTerminal},
        {{"-x"}, true, Action::UsageError, text::kCliUnknownOption},
        {{"--delay=-1"}, true, Action::UsageError, text::kCliBadDelay},
        {{"-d", "3601"}, true, Action::UsageError, text::kCliBadDelay},
        {{"-d", "5s"}, true, Action::UsageError, text::kCliBadDelay},
        {{"-q", "0"}, true, Action::UsageError, text::kCliBadQuality},
        {{"--quality=101"}, true, Action::UsageError, text::kCliBadQuality},
        {{"-t", "gif"}, true, Action::UsageError, text::kCliBadType},
        {{"-d"}, true, Action::UsageError, text::kCliValueMissing},
        {{"--window=yes"}, true, Action::UsageError, text::kCliNoValueWanted},
        {{"-w", "-m", "all"}, true, Action::UsageError, text::kCliWindowAndMonitor},
        {{"shot.jpg"}, true, Action::UsageError, text::kCliUnexpectedArgument},
        {{"--bogus", "-h"}, true, Action::UsageError, text::kCliUnknownOption},
        {{"-o", "z.bmp", "-t", "jpeg"}, true, Action::UsageError, text::kCliTypeAndName},
        {{"-o", ""}, true, Action::UsageError, text::kCliValueMissing},
        {{"-g", ""}, true, Action::UsageError, text::kCliBadGeometry},
        {{"-g", "0x10+0+0"}, true, Action::UsageError, text::kCliBadGeometry},
        {{"--geometry=10x10-5+0"}, true, Action::UsageError, text::kCliBadGeometry},
        {{"-g"}, true, Action::UsageError, text::kCliValueMissing},
        {{"-r", "-m", "all"}, true, Action::UsageError, text::kCliRegionAndMonitor},
    };
    for (const Row& row : rows) {
        std::string line;
        for (const auto& a : row.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ParsedLine parsed = parseCommandLine(row.args, row.terminal);
        EXPECT_EQ(parsed.action, row.action);
        EXPECT_EQ(parsed.error, row.error);
        if (row.check && parsed.action == Action::Shot)
            row.check(parsed.shot);
    }
    // The option at fault as it was typed.
    EXPECT_EQ(parseCommandLine({"-o", ""}, true).errorValue, "-o");
}

TEST(CommandLine, TypeFromTheOutputsExtension) {
    EXPECT_EQ(imageTypeOfPath("x/shot.JPEG"), SaveFormat::Jpeg);
    EXPECT_EQ(imageTypeOfPath("shot.png"), SaveFormat::Png);
    EXPECT_EQ(imageTypeOfPath("shot.WebP"), SaveFormat::Webp);
    EXPECT_EQ(imageTypeOfPath("a.b/shot"), std::nullopt);
    EXPECT_EQ(imageTypeOfPath("shot.tiff"), std::nullopt);
}

TEST(CommandLine, EnglishTextsComeFromTheTranslationFile) {
    EXPECT_EQ(messageLanguage("en_GB.UTF-8"), "en");
    EXPECT_EQ(messageLanguage("ja_JP.UTF-8"), "");
    // The generated table has every fixed text of the command line, with its English.
    bool found = false;
    for (const TextPair* p = kTexts_en; p->source; ++p)
        if (std::string(p->source) == text::kCliBadQuality)
            found = std::string(p->translation) == "Quality '%1': give 1 to 100";
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kvr::cli
