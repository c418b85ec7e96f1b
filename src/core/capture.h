#pragma once
// What the user chose for the next shot. The main window owns these; the capture code reads them.
#include <string>

namespace kvr {

enum class ShotMode { ActiveWindow, AllScreen };
enum class SaveFormat { Jpeg, Bmp };

struct CaptureChoices {
    ShotMode mode = ShotMode::ActiveWindow;
    SaveFormat format = SaveFormat::Jpeg;
    std::string Place;           // output folder
    std::string FileName;        // custom file-name prefix
    bool FileNameCheck = false;  // use FileName instead of the mode prefix
};

}  // namespace kvr
