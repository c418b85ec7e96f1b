#pragma once
// What the user chose for the next shot. The main window owns these; the shot reads them.
#include <string>

#include "base/screen_source.h"

namespace kvr {

// Bmp, Png and Webp are the lossless formats; the options dialog picks which one the window
// offers.
enum class SaveFormat { Jpeg, Bmp, Png, Webp };

// The options dialog's capture page ([Capture] in kvr.ini), and a monitor named on the command
// line. The source is asked for what it can honour; the clipboard is the window's, after the shot.
struct CaptureChoices {
    MonitorChoice monitor = MonitorChoice::Primary;
    bool pointer = false;
    bool clipboard = false;
    std::string output;       // a monitor by its output name (the command line); empty: monitor
    bool countdown = true;    // the seconds left shown on screen during the countdown
    bool lastRegion = false;  // Region: cut the last accepted rectangle again, without asking
};

struct ShotChoices {
    ShotMode mode = ShotMode::ActiveWindow;
    SaveFormat format = SaveFormat::Jpeg;
    std::string Place;           // output folder
    std::string FileName;        // custom file-name prefix
    bool FileNameCheck = false;  // use FileName instead of the mode prefix
    CaptureChoices capture;
};

}  // namespace kvr
