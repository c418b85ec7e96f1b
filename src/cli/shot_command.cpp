#include "cli/shot_command.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/error.h"
#include "base/texts.h"
#include "cli/clipboard.h"
#include "cli/encode.h"
#include "cli/notify.h"
#include "cli/options.h"
#include "cli/texts_table.h"
#include "core/desktop.h"
#include "core/naming.h"
#include "core/settings.h"
#include "core/shot.h"
#include "platform/display_check.h"
#include "platform/loader.h"
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

std::string errorMessage(const KvrError& e) {
    return e.text() ? fillText(translate(e.text()), e.values()) : e.what();
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The delay, counted down on stderr when it is a terminal ("5 s", "4 s", ...).
void wait(int seconds) {
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    const bool terminal = isatty(STDERR_FILENO);
    for (int left = seconds; left > 0; --left) {
        if (terminal)
            std::fprintf(stderr, "\r%s\033[K",
                         message(text::kCountdown, {std::to_string(left)}).c_str());
        until.tv_sec += 1;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
    if (terminal && seconds > 0)
        std::fputs("\r\033[K", stderr);
}

// The capture choice a request makes beyond the mode, for the source to refuse or honour.
std::optional<CaptureChoice> choiceOf(const ShotRequest& request) {
    if (request.mode == ShotMode::ActiveWindow)
        return std::nullopt;
    if (!request.output.empty())
        return CaptureChoice::NamedOutput;
    if (request.monitor == MonitorChoice::UnderPointer)
        return CaptureChoice::MonitorUnderPointer;
    if (request.monitor == MonitorChoice::All)
        return CaptureChoice::AllMonitors;
    return std::nullopt;
}

// Where the picture goes: a file (its path and folder), stdout, or nowhere (clipboard only).
struct Destination {
    enum { File, Stdout, None } kind = None;
    std::string folder, path;
};

int shoot(const ShotOptions& options) {
    // A reader that went away is a failed write where it matters (-o -), else no loss: the file,
    // the clipboard and the notification go on without the printed path.
    signal(SIGPIPE, SIG_IGN);
    const platform::Environment env = platform::processEnvironment();
    const platform::SourceKind kind = platform::chooseSourceKind(env);
    if (kind == platform::SourceKind::Null) {
        const auto problem = platform::unreachableDisplay(env, "");
        printLine(stderr, problem ? *problem : message(text::kNoResources));
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

    std::optional<EncodedPicture> copy;
    {
        const auto source = platform::makeScreenSource(kind);
        if (const auto choice = choiceOf(options.request))
            if (const char* refusal = source->refusal(*choice))
                throw KvrError(refusal, {});
        if (options.request.pointer)
            if (const char* refusal = source->refusal(CaptureChoice::Pointer))
                throw KvrError(refusal, {});

        // What the desktop asks first (GNOME's permission) is asked before the wait, not in it.
        source->prepare(options.request);
        wait(options.delay);
        const Picture picture = source->grab(options.request);

        if (to.kind == Destination::File && to.path.empty()) {
            const auto name = nextFileName(choices);
            if (!name) {
                printLine(stderr, message(text::kNoFreeName));
                return kExitFailed;
            }
            to.path = joinPath(to.folder, *name);
        }
        if (to.kind == Destination::File)
            writeShot(picture, choices.format, to.folder, to.path, jpeg);
        else if (to.kind == Destination::Stdout)
            writeToDescriptor(STDOUT_FILENO, picture, *type, jpeg);
        if (options.clipboard)
            // What viewers, editors and browsers all take from the clipboard, lossless.
            copy = encodePicture(picture, SaveFormat::Png, jpeg);
    }  // the picture and the source's connection go: the clipboard's server keeps only a copy
    if (to.kind == Destination::File)
        printLine(stdout, to.path);
    std::fflush(stdout);

    if (copy)
        serveClipboard(env, *copy, to.kind == Destination::File ? to.path : std::string());
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
        case Action::Shot:
            try {
                return shoot(line.shot);
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
