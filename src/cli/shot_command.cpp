#include "cli/shot_command.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "base/error.h"
#include "base/region_select.h"
#include "base/texts.h"
#include "cli/clipboard.h"
#include "cli/encode.h"
#include "cli/notify.h"
#include "cli/options.h"
#include "cli/texts_table.h"
#include "core/desktop.h"
#include "core/naming.h"
#include "core/outfile.h"
#include "core/region.h"
#include "core/row_converter.h"
#include "core/settings.h"
#include "core/shot.h"
#include "platform/display_check.h"
#include "platform/loader.h"
#include "platform/module.h"
#include "platform/session.h"

namespace kvr::cli {
namespace {

// The texts break lines as message boxes do ("\r\n"); a terminal wants "\n".
void printLine(FILE* to, const std::string& line) {
    for (char c : line)
        if (c != '\r')
            std::fputc(c, to);
    std::fputc('\n', to);
}

// A fixed text in the locale's language, filled.
std::string message(const char* text, std::initializer_list<std::string_view> values = {}) {
    return fillText(translate(text), values);
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Ctrl+C or SIGTERM during the delay: the wait ends, nothing is grabbed or written.
volatile sig_atomic_t stopSignal = 0;

void noteStop(int signal) {
    stopSignal = signal;
}

// Catches the stopping signals for the delay; a signal the caller ignores (a background job's
// SIGINT) stays ignored.
void catchStops(bool on) {
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        sigaction(signal, nullptr, &now);
        if (now.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = on ? noteStop : SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// The delay, counted down on stderr when it is a terminal ("5 s", "4 s", ...) and on the badge.
// A stopping signal ends the program from here, as the signal itself would (the shell sees 130
// or 143); the badge goes with the display's connection.
void wait(int seconds, CountdownBadge* badge) {
    if (seconds <= 0)
        return;
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    const bool terminal = isatty(STDERR_FILENO);
    catchStops(true);
    for (int left = seconds; left > 0 && !stopSignal; --left) {
        if (badge)
            badge->show(left);
        if (terminal)
            std::fprintf(stderr, "\r%s\033[K",
                         message(text::kCountdown, {std::to_string(left)}).c_str());
        until.tv_sec += 1;
        while (!stopSignal &&
               clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
    if (terminal)
        std::fputs("\r\033[K", stderr);
    // After the delay the signals end the program at once again (a grab that hangs in a desktop's
    // dialog can still be stopped).
    catchStops(false);
    if (const int signal = stopSignal) {
        std::fflush(stderr);
        raise(signal);
    }
}

// Where the picture goes: a file (its path and folder), stdout, or nowhere (clipboard only).
struct Destination {
    enum { File, Stdout, None } kind = None;
    std::string folder, path;
};

// The display the source will use, when it cannot be reached: the window's words for it.
std::optional<std::string> displayProblem(const platform::Environment& env,
                                          platform::SourceKind kind) {
    using platform::SourceKind;
    if (kind == SourceKind::X11)
        return platform::unreachableDisplay(env, "xcb");
    if (kind != SourceKind::Null && !platform::envValue(env, "WAYLAND_DISPLAY").empty())
        return platform::unreachableDisplay(env, "wayland");
    if (kind == SourceKind::Null) {
        const auto problem = platform::unreachableDisplay(env, "");
        return problem ? *problem : message(text::kNoResources);
    }
    return std::nullopt;
}

// What the command line asks for beyond the saved choices: refused by the source, it is an
// error (a saved choice the source refuses falls back to its default, as in the window).
void checkAsked(const ScreenSource& source, const ShotOptions& options) {
    const ShotRequest& asked = options.request;
    std::optional<CaptureChoice> choice;
    if (asked.mode == ShotMode::AllScreen && options.monitorGiven)
        choice = !asked.output.empty()                 ? CaptureChoice::NamedOutput
                 : asked.monitor == MonitorChoice::All ? CaptureChoice::AllMonitors
                 : asked.monitor == MonitorChoice::UnderPointer
                     ? std::optional(CaptureChoice::MonitorUnderPointer)
                     : std::nullopt;
    if (choice)
        if (const char* refusal = source.refusal(*choice))
            throw KvrError(refusal, {});
    if (asked.pointer)
        if (const char* refusal = source.refusal(CaptureChoice::Pointer))
            throw KvrError(refusal, {});
}

// A rectangle of -g on no monitor, or not on the picture taken: said in the user's words.
[[noreturn]] void offMonitors(const ScreenRect& region) {
    throw KvrError(text::kRegionOffMonitors, {geometryText(region)});
}

// The rectangle of a region shot: -g's cut to the picture, or the one the person chooses on it
// (-r, in the window's module: the toolkit is loaded for this alone). Nothing when cancelled.
std::optional<ScreenRect> chooseRegion(ScreenSource& source, const ShotOptions& options,
                                       const Picture& picture) {
    const std::vector<MonitorPlace> monitors = source.monitorPlaces();
    if (options.geometry) {
        const auto region =
            regionOnMonitors(*options.geometry, monitors, picture.width, picture.height);
        if (!region)
            offMonitors(*options.geometry);
        return region;
    }
    if (desktopChoosesRegion(source))
        return ScreenRect{0, 0, picture.width, picture.height};  // the area the person chose
    if (monitors.empty())
        throw KvrError(text::kRegionUnsupported, {});
    const std::vector<ScreenRect> frames = source.windowFrames();
    const auto select = reinterpret_cast<RegionSelectEntry>(
        platform::moduleEntry("kvr-window.so", kRegionSelectEntry));
    char name[] = "kvr";
    char* argv[] = {name, nullptr};
    const RegionSelectInput input{&picture, &monitors, &frames, &source};
    ScreenRect chosen;
    switch (RegionSelectResult(select(1, argv, input, chosen))) {
        case RegionSelectResult::Accepted:
            return chosen;
        case RegionSelectResult::Cancelled:
            return std::nullopt;
        case RegionSelectResult::Failed:
            break;
    }
    throw KvrError(text::kRegionUnsupported, {});
}

// The folder the file will be made in (or, for JPEG and PNG, the one above a folder still to be
// made) must take a new file, or the file named must take the picture: known before the delay,
// so said before it.
void checkWritable(const std::string& folder, const std::string& path, SaveFormat format) {
    struct stat st;
    std::string where = folder;
    int mode = W_OK | X_OK;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        where = path;  // a file named with -o is replaced, whatever its folder allows
        mode = W_OK;
    } else if (format != SaveFormat::Bmp && !isFolder(folder)) {
        const size_t slash = folder.rfind('/');
        where = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    }
    if (access(where.c_str(), mode) != 0)
        throw fileCreateError(path, errno);
}

int shoot(const ShotOptions& options) {
    // A reader that went away is a failed write where it matters (-o -), else no loss: the file,
    // the clipboard and the notification go on without the printed path.
    signal(SIGPIPE, SIG_IGN);
    const platform::Environment env = platform::processEnvironment();
    const platform::SourceKind kind = platform::chooseSourceKind(env);
    if (const auto problem = displayProblem(env, kind)) {
        printLine(stderr, *problem);
        return kExitFailed;
    }
    const Settings settings(settingsFilePath());
    const StartupSettings saved = readStartupSettings(settings);

    // The type: -t, else the output's extension, else the saved choice.
    std::optional<SaveFormat> type = options.type;
    if (!type && options.output && *options.output != "-")
        type = imageTypeOfPath(*options.output);
    if (!type)
        type = saved.save == 0 ? SaveFormat::Jpeg : saved.lossless;
    JpegOptions jpeg = readJpegOptions(settings);
    if (options.quality)
        jpeg.quality = uint8_t(*options.quality);
    jpeg.grey = jpeg.grey || options.grey;

    ShotChoices choices;
    choices.mode = options.request.mode;
    choices.format = *type;
    choices.FileName = saved.FileName;
    choices.FileNameCheck = saved.FileNameCheck;
    // The window's capture choices, each overridden by its option.
    CaptureChoices& capture = choices.capture;
    capture = readCaptureChoices(settings);
    if (options.monitorGiven) {
        capture.monitor = options.request.monitor;
        capture.output = options.request.output;
    }
    capture.pointer = options.request.pointer || (capture.pointer && !options.noPointer);
    const bool copyToClipboard = options.clipboard || (capture.clipboard && !options.noClipboard);

    Destination to;
    if (options.output == "-") {
        to.kind = Destination::Stdout;
    } else if (options.output || !options.clipboard) {
        to.kind = Destination::File;
        const std::string& out = options.output.value_or("");
        if (!options.output || isFolder(out) || out.back() == '/') {
            // A folder: the next free numbered name, as the window makes it.
            to.folder = options.output ? out : saved.Place;
            if (to.folder == "Error" && !options.output)
                to.folder = desktopFolder();
            while (to.folder.size() > 1 && to.folder.back() == '/')
                to.folder.pop_back();
            choices.Place = to.folder;
        } else {
            to.path = out;
            const size_t slash = out.rfind('/');
            to.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : out.substr(0, slash);
        }
    }

    std::vector<EncodedPicture> copy;
    {
        const auto source = platform::makeScreenSource(kind);
        checkAsked(*source, options);
        ShotRequest request = shotRequest(*source, choices);
        // A given rectangle is cut from the whole desktop, never chosen in a desktop's dialog.
        if (options.geometry) {
            request.mode = ShotMode::AllScreen;
            request.monitor = MonitorChoice::All;
        }

        // What is known now is said now, not after the delay: a monitor name no monitor has,
        // a folder whose hundred names are taken, a folder that takes no file.
        if (!request.output.empty() && request.mode == ShotMode::AllScreen) {
            const std::vector<std::string> names = source->outputNames();
            if (!names.empty() &&
                std::find(names.begin(), names.end(), request.output) == names.end()) {
                std::string list;
                for (const std::string& name : names)
                    list += (list.empty() ? "" : ", ") + name;
                printLine(stderr, message(text::kNoSuchMonitor, {request.output}));
                printLine(stderr, message(text::kCliMonitorNames, {list}));
                return kExitFailed;
            }
        }
        if (choices.mode == ShotMode::Region && !options.geometry && !regionPossible(*source))
            throw KvrError(text::kRegionUnsupported, {});
        // A rectangle on no monitor is known before the delay where the monitors are.
        if (options.geometry) {
            const std::vector<MonitorPlace> monitors = source->monitorPlaces();
            if (!monitors.empty() &&
                !regionOnMonitors(*options.geometry, monitors, INT32_MAX, INT32_MAX))
                offMonitors(*options.geometry);
        }
        if (to.kind == Destination::File) {
            std::optional<std::string> name;
            if (to.path.empty() && !(name = nextFileName(choices))) {
                printLine(stderr, message(text::kNoFreeName, {to.folder}));
                return kExitFailed;
            }
            checkWritable(to.folder, to.path.empty() ? joinPath(to.folder, *name) : to.path, *type);
        }

        // What the desktop asks first (GNOME's permission) is asked before the wait, not in it.
        source->prepare(request);
        {
            // Only with a delay: a shot without one opens nothing more than its grab needs.
            std::unique_ptr<CountdownBadge> badge;
            if (options.delay > 0 && capture.countdown)
                badge = platform::makeCountdownBadge(kind, request);
            wait(options.delay, badge.get());
            if (badge)
                badge->remove();  // off the screen, and seen to be, before the grab
        }
        Picture grabbed = source->grab(request);
        if (choices.mode == ShotMode::Region) {
            const auto region = chooseRegion(*source, options, grabbed);
            if (!region) {
                printLine(stderr, message(text::kShotCancelled));
                return kExitFailed;
            }
            grabbed = cutRegion(grabbed, *region);
        }
        // --grey for every type: JPEG greys as it encodes, the others take a grey copy.
        const Picture picture =
            options.grey && *type != SaveFormat::Jpeg ? greyPicture(grabbed) : grabbed;

        if (to.kind == Destination::File && to.path.empty()) {
            // Created with O_EXCL and written through that descriptor: a second shot at the same
            // moment takes the next number.
            const ShotOutcome written = saveNumbered(picture, choices, jpeg);
            if (written.result == ShotResult::NoFreeName) {
                printLine(stderr, message(text::kNoFreeName, {to.folder}));
                return kExitFailed;
            }
            to.path = written.path;
        } else if (to.kind == Destination::File) {
            writeShot(picture, choices.format, to.folder, to.path, jpeg);
        } else if (to.kind == Destination::Stdout) {
            writeToDescriptor(STDOUT_FILENO, picture, *type, jpeg);
        }
        if (copyToClipboard) {
            // What viewers, editors and browsers all take from the clipboard, lossless; WebP
            // beside it, libwebp's fastest (the server holds no picture to make it later).
            copy.push_back(encodePicture(picture, SaveFormat::Png, jpeg));
            copy.push_back(encodePicture(picture, SaveFormat::Webp, jpeg));
        }
    }  // the picture and the source's connection go: the clipboard's server keeps only a copy
    if (to.kind == Destination::File)
        printLine(stdout, to.path);
    std::fflush(stdout);

    if (!copy.empty())
        serveClipboard(env, copy, to.kind == Destination::File ? to.path : std::string());
    if (options.notify && to.kind != Destination::Stdout) {
        if (to.kind == Destination::File) {
            char* where = realpath(to.folder.c_str(), nullptr);
            const std::string folder = where ? where : to.folder;
            std::free(where);
            announceFile(
                to.path, message(text::kSavedSummary),
                message(text::kSavedBody, {to.path.substr(to.path.rfind('/') + 1), folder}));
        } else {
            announceFile({}, message(text::kCopiedSummary), {});
        }
    }
    return kExitWritten;
}

// The names -m takes here, one a line (the shell's completion asks for them).
int listMonitors() {
    const platform::Environment env = platform::processEnvironment();
    const platform::SourceKind kind = platform::chooseSourceKind(env);
    if (displayProblem(env, kind))
        return kExitFailed;
    for (const std::string& name : platform::makeScreenSource(kind)->outputNames())
        printLine(stdout, name);
    return kExitWritten;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args) {
    const ParsedLine line = parseCommandLine(args, isatty(STDOUT_FILENO));
    switch (line.action) {
        case Action::Window:
            break;
        case Action::Help:
            std::fputs(translate(text::kCliUsage), stdout);
            return kExitWritten;
        case Action::Version:
            std::printf("kvr %s\n", KVR_VERSION);
            return kExitWritten;
        case Action::UsageError:
            printLine(stderr, "kvr: " + message(line.error, {line.errorValue}));
            printLine(stderr, message(text::kCliTryHelp));
            return kExitUsage;
        case Action::ListMonitors:
        case Action::Shot:
            try {
                return line.action == Action::Shot ? shoot(line.shot) : listMonitors();
            } catch (const KvrError& e) {
                printLine(stderr, errorMessage(e));
            } catch (const std::exception& e) {
                printLine(stderr, e.what());
            }
            return kExitFailed;
    }
    return kExitUsage;
}

}  // namespace kvr::cli
