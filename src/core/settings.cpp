#include "core/settings.h"

#include <unistd.h>

#include <climits>
#include <system_error>

#include "base/error.h"
#include "base/texts.h"
#include "core/jpeg.h"
#include "core/naming.h"
#include "core/profile.h"
#include "core/settings_location.h"

namespace kvr {

namespace {

std::string programFolder() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    // Without /proc we cannot know where we live; the current folder is the least surprising.
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size())
        return ".";
    buffer.resize(n);
    const auto slash = buffer.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "" : buffer.substr(0, slash);
}

// Decided once: where this run keeps kvr.ini.
const SettingsLocation& realLocation() {
    static const SettingsLocation location =
        settingsLocation(currentSettingsPlaceFacts(programFolder()));
    return location;
}

}  // namespace

std::string settingsFilePath() {
    return realLocation().path;
}

std::optional<int32_t> tryParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::string_view rest = text.substr(i);

    std::size_t prefix = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        prefix = 1;
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        prefix = 2;
    }
    if (prefix > 0) {
        const std::string_view digits = rest.substr(prefix);
        if (digits.empty())
            return std::nullopt;
        uint64_t value = 0;
        for (char c : digits) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
        // 32 bits taken as they are, so $FFFFFFFF is -1; a sign negates in 32 bits too.
        const uint32_t bits = static_cast<uint32_t>(negative ? 0u - value : value);
        return static_cast<int32_t>(bits);
    }

    if (rest.empty())
        return std::nullopt;
    int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t parseInteger(std::string_view text) {
    if (const auto value = tryParseInteger(text))
        return *value;
    throw KvrError(text::kNotInteger, {text});
}

Settings::Settings(std::string path) : path_(std::move(path)) {}

std::string Settings::readString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (auto value = readProfileString(path_, section, key))
        return std::move(*value);
    return std::string(defaultValue);
}

int32_t Settings::readInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    return tryParseInteger(readString(section, key, "")).value_or(defaultValue);
}

bool Settings::readBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void Settings::writeString(std::string_view section, std::string_view key, std::string_view value) {
    // The user's configuration folder may not exist yet on a fresh account.
    if (realLocation().createFolder && path_ == realLocation().path) {
        try {
            createSettingsFolder(path_);
        } catch (const std::system_error&) {
            throw KvrError(text::kCannotWrite, {path_});
        }
    }
    writeProfileString(path_, section, key, value);
}

void Settings::writeInteger(std::string_view section, std::string_view key, int32_t value) {
    writeString(section, key, std::to_string(value));
}

void Settings::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

StartupSettings readStartupSettings(const Settings& settings) {
    StartupSettings s;
    s.type = settings.readInteger("CreatFlg", "type", 0);
    s.save = settings.readInteger("CreatFlg", "save", 0);
    s.timer = settings.readInteger("CreatFlg", "timer", 1);
    s.Place = settings.readString("Save", "place", "Error");
    // No folder at all would put the pictures in "/": empty means unset, as "Error" does.
    if (s.Place.empty())
        s.Place = "Error";
    s.FileName = prefixAsTyped(settings.readString("Save", "filename", ""));
    s.FileNameCheck = settings.readBool("Save", "filenamecheck", false);
    s.lossless = losslessFormatSaved(settings.readInteger("Save", "png", 0));
    return s;
}

JpegOptions readJpegOptions(const Settings& settings) {
    JpegOptions options;
    options.grey = settings.readInteger("JPEG", "grayscale", 0) != 0;
    options.quality = jpegQualityByte(settings.readInteger("JPEG", "qualityrange", 3));
    return options;
}

void writeExitSettings(Settings& settings, ShotMode mode, SaveFormat format,
                       std::string_view timerText) {
    // Region is a value older versions never wrote; they read any value but 0 as All Screen.
    settings.writeInteger("CreatFlg", "type",
                          mode == ShotMode::ActiveWindow ? 0
                          : mode == ShotMode::Region     ? kTypeRegion
                                                         : 1);
    settings.writeInteger("CreatFlg", "save", format == SaveFormat::Jpeg ? 0 : 1);
    settings.writeString("CreatFlg", "timer", timerText);
}

void writeOptionSettings(Settings& settings, const OptionSettings& options) {
    settings.writeInteger("Save", "flg", options.flg);
    settings.writeString("Save", "place", options.place);
    settings.writeInteger("JPEG", "qualityrange", options.qualityrange);
    settings.writeBool("Save", "filenamecheck", options.filenamecheck);
    settings.writeString("Save", "filename", options.filename);
    settings.writeInteger("Save", "png", formatOf(options.lossless).savedAs);
}

CaptureChoices readCaptureChoices(const Settings& settings) {
    CaptureChoices choices;
    const int32_t monitor = settings.readInteger("Capture", "monitor", 0);
    if (monitor == 1 || monitor == 2)
        choices.monitor = monitor == 1 ? MonitorChoice::UnderPointer : MonitorChoice::All;
    choices.pointer = settings.readBool("Capture", "pointer", false);
    choices.clipboard = settings.readBool("Capture", "clipboard", false);
    choices.countdown = settings.readBool("Capture", "countdown", true);
    choices.lastRegion = settings.readBool("Capture", "lastregion", false);
    return choices;
}

void writeCaptureChoices(Settings& settings, const CaptureChoices& choices) {
    settings.writeInteger("Capture", "monitor", int32_t(choices.monitor));
    settings.writeBool("Capture", "pointer", choices.pointer);
    settings.writeBool("Capture", "clipboard", choices.clipboard);
    settings.writeBool("Capture", "countdown", choices.countdown);
    settings.writeBool("Capture", "lastregion", choices.lastRegion);
}

ShotMode shotModeSaved(int32_t type) {
    return type == 0             ? ShotMode::ActiveWindow
           : type == kTypeRegion ? ShotMode::Region
                                 : ShotMode::AllScreen;
}

std::optional<SavedRegion> readSavedRegion(const Settings& settings) {
    const auto rect = parseGeometry(settings.readString("Region", "rect", ""));
    if (!rect)
        return std::nullopt;
    return SavedRegion{*rect, settings.readString("Region", "layout", "")};
}

void writeSavedRegion(Settings& settings, const SavedRegion& region) {
    settings.writeString("Region", "rect", geometryText(region.rect));
    settings.writeString("Region", "layout", region.layout);
}

}  // namespace kvr
