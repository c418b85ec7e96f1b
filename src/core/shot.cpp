#include "core/shot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "core/naming.h"
#include "core/outfile.h"

namespace kvr {

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder that cannot be made is reported with its own reason (a read-only parent, say): the
// file's "No such file or directory" would hide it. EEXIST (made meanwhile, or a file of that
// name) is left to the file's creation to report. True when the folder was made here.
bool makeFolder(const std::string& folder, const std::string& path) {
    if (isFolder(folder))
        return false;
    if (mkdir(folder.c_str(), 0777) == 0)
        return true;
    if (errno != EEXIST)
        throw fileCreateError(path, errno);
    return false;
}

// Runs write; when it fails, the folder made for it goes too (if it is still empty).
template <typename Write>
void inFolderMadeFor(const std::string& folder, bool made, Write write) {
    try {
        write();
    } catch (...) {
        if (made)
            rmdir(folder.c_str());
        throw;
    }
}

}  // namespace

void writeShot(const Picture& picture, SaveFormat format, OutputFile& file,
               const JpegOptions& jpeg) {
    writePicture(picture, format, file, jpeg);
}

void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path, const JpegOptions& jpeg) {
    const bool made = formatOf(format).makesFolder && makeFolder(folder, path);
    inFolderMadeFor(folder, made, [&] {
        OutputFile file(path);
        writeShot(picture, format, file, jpeg);
    });
}

bool desktopChoosesRegion(const ScreenSource& source) {
    return std::string_view(source.name()) == "portal";
}

bool regionPossible(const ScreenSource& source) {
    return desktopChoosesRegion(source) || !source.monitorPlaces().empty();
}

ShotRequest shotRequest(const ScreenSource& source, const ShotChoices& choices) {
    const CaptureChoices& capture = choices.capture;
    ShotRequest request;
    request.mode = choices.mode;
    request.monitor = capture.monitor;
    if (choices.mode == ShotMode::Region && desktopChoosesRegion(source)) {
        request.mode = ShotMode::ActiveWindow;  // the desktop's dialog, where the person picks
        request.pointer = false;
        return request;
    }
    // A region is cut from the picture of every monitor.
    if (choices.mode == ShotMode::Region) {
        request.mode = ShotMode::AllScreen;
        request.monitor = MonitorChoice::All;
        request.output.clear();
        request.pointer = capture.pointer && !source.refusal(CaptureChoice::Pointer);
        return request;
    }
    if ((capture.monitor == MonitorChoice::UnderPointer &&
         source.refusal(CaptureChoice::MonitorUnderPointer)) ||
        (capture.monitor == MonitorChoice::All && source.refusal(CaptureChoice::AllMonitors)))
        request.monitor = MonitorChoice::Primary;
    // A monitor named on the command line is not dropped: a refusal there is the user's error.
    request.output = capture.output;
    request.pointer = capture.pointer && !source.refusal(CaptureChoice::Pointer);
    return request;
}

ShotOutcome saveNumbered(const Picture& picture, const ShotChoices& choices,
                         const JpegOptions& jpeg, const BeforeCreate& beforeCreate) {
    const auto name = nextFileName(choices);
    if (!name)
        return {ShotResult::NoFreeName, {}, {}};
    // The folder first: the file is made in it, and a second shot never writes over it.
    const bool made = formatOf(choices.format).makesFolder &&
                      makeFolder(choices.Place, joinPath(choices.Place, *name));
    std::string path;
    bool free = true;
    inFolderMadeFor(choices.Place, made, [&] {
        std::optional<OutputFile> file = createNextFile(choices, beforeCreate);
        free = file.has_value();
        if (file) {
            path = file->path();
            writeShot(picture, choices.format, *file, jpeg);
        }
    });
    if (!free)
        return {ShotResult::NoFreeName, {}, {}};
    return {ShotResult::Written, std::move(path), {}};
}

ShotOutcome shotNow(ScreenSource& source, const ShotChoices& choices, const JpegOptions& jpeg,
                    const BeforeCreate& beforeCreate) {
    Picture picture = source.grab(shotRequest(source, choices));
    ShotOutcome outcome = saveNumbered(picture, choices, jpeg, beforeCreate);
    if (outcome.result == ShotResult::Written)
        outcome.picture = std::move(picture);
    return outcome;
}

}  // namespace kvr
