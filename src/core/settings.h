#pragma once
// kvr.ini (where: settings_location.h). A Settings object is made for one group of reads or writes
// and dropped right after; it keeps no copy of the file, so hand edits show at the next use.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/choices.h"
#include "core/region.h"
#include "core/shot.h"

namespace kvr {

// The path of kvr.ini for this run (beside the program, or in the user's configuration folder for
// an installed copy), decided at the first call.
std::string settingsFilePath();

// Integer text as the settings file and the timer box use it: leading spaces, one sign, "$", "x",
// "X", "0x", "0X" hexadecimal up to 32 bits ($FFFFFFFF is -1) or decimal within 32 bits.
std::optional<int32_t> tryParseInteger(std::string_view text);
// The same, raising "'%s' は整数ではありません" when the text does not convert.
int32_t parseInteger(std::string_view text);

class Settings {
public:
    explicit Settings(std::string path);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    const std::string& path() const { return path_; }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t readInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Each write goes straight to the file; a refused write raises "%s に書き込めません".
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::string path_;
};

// The values start-up reads (defaults applied; "Error" in Place means: no folder set).
struct StartupSettings {
    int32_t type = 0;
    int32_t save = 0;
    int32_t timer = 1;
    std::string Place = "Error";
    std::string FileName;
    bool FileNameCheck = false;
    SaveFormat lossless = SaveFormat::Bmp;  // [Save] png: the lossless format
};
StartupSettings readStartupSettings(const Settings& settings);

// The JPEG settings of a shot: qualityrange as the encoder's quality byte, grayscale.
JpegOptions readJpegOptions(const Settings& settings);

// [CreatFlg] type: 0 Active Form, 2 Region, any other value All Screen (as always).
inline constexpr int32_t kTypeRegion = 2;
ShotMode shotModeSaved(int32_t type);

// The exit button: type, save, timer, in that order. Stops at the first refused write.
void writeExitSettings(Settings& settings, ShotMode mode, SaveFormat format,
                       std::string_view timerText);

// The options dialog's close button: flg, place, qualityrange, filenamecheck, filename, png.
struct OptionSettings {
    int32_t flg = 0;
    std::string place;
    int32_t qualityrange = 3;
    bool filenamecheck = false;
    std::string filename;
    SaveFormat lossless = SaveFormat::Bmp;  // written as [Save] png
};
void writeOptionSettings(Settings& settings, const OptionSettings& options);

// [Capture] monitor (0 primary, 1 under the pointer, 2 all), pointer, clipboard, countdown (1: the
// seconds shown on screen, the default), lastregion. A value out of range, or a file that cannot
// be read, gives the default. Read at each shot, so a hand edit shows at the next one; written by
// the options dialog's close button.
CaptureChoices readCaptureChoices(const Settings& settings);
void writeCaptureChoices(Settings& settings, const CaptureChoices& choices);

// [Region] rect (WxH+X+Y in the picture's pixels) and layout (layoutText): nothing when the
// rectangle is missing or does not read as one.
std::optional<SavedRegion> readSavedRegion(const Settings& settings);
void writeSavedRegion(Settings& settings, const SavedRegion& region);

}  // namespace kvr
