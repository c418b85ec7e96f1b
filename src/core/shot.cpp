#include "core/shot.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/naming.h"
#include "core/outfile.h"

namespace kvr {

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path, const JpegOptions& jpeg) {
    if (format == SaveFormat::Bmp) {
        saveBmp(picture, path);
        return;
    }
    // A folder that cannot be made is reported with its own reason (a read-only parent, say):
    // the file's "No such file or directory" would hide it. EEXIST (made meanwhile, or a file
    // of that name) is left to the file's creation to report.
    if (!isFolder(folder) && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw fileCreateError(path, errno);
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

ShotOutcome shotNow(ScreenSource& source, const ShotChoices& choices, const JpegOptions& jpeg) {
    Picture picture = source.grab(shotRequest(source, choices));
    const auto name = nextFileName(choices);
    if (!name)
        return {ShotResult::NoFreeName, {}, {}};
    std::string path = joinPath(choices.Place, *name);
    writeShot(picture, choices.format, choices.Place, path, jpeg);
    return {ShotResult::Written, std::move(path), std::move(picture)};
}

}  // namespace kvr
