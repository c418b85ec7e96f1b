#include "core/shot.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/naming.h"
#include "core/outfile.h"
#include "core/png.h"

namespace kvr {

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder that cannot be made is reported with its own reason (a read-only parent, say): the
// file's "No such file or directory" would hide it. EEXIST (made meanwhile, or a file of that
// name) is left to the file's creation to report.
void makeFolder(const std::string& folder, const std::string& path) {
    if (!isFolder(folder) && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw fileCreateError(path, errno);
}

}  // namespace

void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path, const JpegOptions& jpeg) {
    if (format == SaveFormat::Bmp) {
        saveBmp(picture, path);
        return;
    }
    makeFolder(folder, path);
    if (format == SaveFormat::Png)
        savePng(picture, path);
    else
        saveJpeg(picture, path, jpeg.quality, jpeg.grey);
}

ShotRequest shotRequest(const ScreenSource& source, const ShotChoices& choices) {
    const CaptureChoices& capture = choices.capture;
    ShotRequest request;
    request.mode = choices.mode;
    request.monitor = capture.monitor;
    if ((capture.monitor == MonitorChoice::UnderPointer &&
         source.refusal(CaptureChoice::MonitorUnderPointer)) ||
        (capture.monitor == MonitorChoice::All && source.refusal(CaptureChoice::AllMonitors)))
        request.monitor = MonitorChoice::Primary;
    // A monitor named on the command line is not dropped: a refusal there is the user's error.
    request.output = capture.output;
    request.pointer = capture.pointer && !source.refusal(CaptureChoice::Pointer);
    return request;
}

ShotOutcome shotNow(ScreenSource& source, const ShotChoices& choices, const JpegOptions& jpeg,
                    const BeforeCreate& beforeCreate) {
    Picture picture = source.grab(shotRequest(source, choices));
    const auto name = nextFileName(choices);
    if (!name)
        return {ShotResult::NoFreeName, {}, {}};
    // The JPEG or PNG folder first: the file is made in it, and a second shot never writes
    // over it. BMP leaves the folder as it is.
    if (choices.format != SaveFormat::Bmp)
        makeFolder(choices.Place, joinPath(choices.Place, *name));
    std::optional<std::string> path = createNextFile(choices, beforeCreate);
    if (!path)
        return {ShotResult::NoFreeName, {}, {}};
    writeShot(picture, choices.format, choices.Place, *path, jpeg);
    return {ShotResult::Written, std::move(*path), std::move(picture)};
}

}  // namespace kvr
