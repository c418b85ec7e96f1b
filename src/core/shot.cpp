#include "core/shot.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/bmp.h"
#include "core/grab.h"
#include "core/jpeg.h"
#include "core/naming.h"
#include "core/outfile.h"
#include "core/settings.h"

namespace kvr {

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path) {
    if (format == SaveFormat::Bmp) {
        saveBmp(picture, path);
        return;
    }
    bool grey = false;
    uint8_t quality = 0;
    {
        const Settings settings;
        grey = settings.readInteger("JPEG", "grayscale", 0) != 0;
        quality = jpegQualityByte(settings.readInteger("JPEG", "qualityrange", 3));
    }
    // A folder that cannot be made is reported with its own reason (a read-only parent, say):
    // the file's "No such file or directory" would hide it. EEXIST (made meanwhile, or a file
    // of that name) is left to the file's creation to report.
    if (!isFolder(folder) && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw fileCreateError(path, errno);
    saveJpeg(picture, path, quality, grey);
}

ShotResult shotNow(const CaptureChoices& choices, const NameChooser& chooseName) {
    const Picture picture = grab(choices.mode);
    const auto name = chooseName(choices);
    if (!name)
        return ShotResult::NoFreeName;
    writeShot(picture, choices.format, choices.Place, joinPath(choices.Place, *name));
    return ShotResult::Written;
}

}  // namespace kvr
