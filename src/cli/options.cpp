#include "cli/options.h"

#include <charconv>
#include <string_view>

#include "base/texts.h"
#include "core/formats.h"
#include "core/region.h"

namespace kvr::cli {
namespace {

// A whole decimal number in [low, high], nothing else.
std::optional<int> numberIn(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

struct OptionKind {
    char shortName;
    const char* longName;
    bool takesValue;
};

constexpr OptionKind kOptions[] = {
    {'d', "delay", true},          {'w', "window", false},
    {'m', "monitor", true},        {'t', "type", true},
    {'o', "output", true},         {'q', "quality", true},
    {'\0', "grey", false},         {'p', "pointer", false},
    {'c', "clipboard", false},     {'n', "no-notify", false},
    {'h', "help", false},          {'V', "version", false},
    {'\0', "shot", false},         {'\0', "no-pointer", false},
    {'\0', "no-clipboard", false}, {'\0', "list-monitors", false},
    {'r', "region", false},        {'g', "geometry", true},
};

const OptionKind* findShort(char c) {
    for (const OptionKind& o : kOptions)
        if (o.shortName == c)
            return &o;
    return nullptr;
}

const OptionKind* findLong(std::string_view name) {
    for (const OptionKind& o : kOptions)
        if (name == o.longName)
            return &o;
    return nullptr;
}

class Parser {
public:
    explicit Parser(bool stdoutIsTerminal) : terminal_(stdoutIsTerminal) {}

    ParsedLine run(const std::vector<std::string>& args) {
        if (args.empty())
            return line_;
        line_.action = Action::Shot;
        for (size_t i = 0; i < args.size() && !failed(); ++i) {
            const std::string& arg = args[i];
            if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
                const size_t eq = arg.find('=');
                const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
                const OptionKind* option = findLong(name);
                if (!option)
                    return fail(text::kCliUnknownOption, arg);
                std::optional<std::string> value;
                if (eq != std::string::npos) {
                    if (!option->takesValue)
                        return fail(text::kCliNoValueWanted, "--" + name);
                    value = arg.substr(eq + 1);
                } else if (option->takesValue) {
                    if (++i == args.size())
                        return fail(text::kCliValueMissing, arg);
                    value = args[i];
                }
                apply(*option, value, "--" + name);
            } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
                // Short options may be grouped (-wp); a value follows its letter or the next word.
                for (size_t k = 1; k < arg.size() && !failed(); ++k) {
                    const OptionKind* option = findShort(arg[k]);
                    if (!option)
                        return fail(text::kCliUnknownOption, std::string("-") + arg[k]);
                    const std::string spelled = std::string("-") + arg[k];
                    std::optional<std::string> value;
                    if (option->takesValue) {
                        if (k + 1 < arg.size())
                            value = arg.substr(k + 1);
                        else if (++i < args.size())
                            value = args[i];
                        else
                            return fail(text::kCliValueMissing, spelled);
                        k = arg.size();
                    }
                    apply(*option, value, spelled);
                }
            } else {
                return fail(text::kCliUnexpectedArgument, arg);
            }
        }
        if (failed())
            return line_;
        if (help_)
            line_.action = Action::Help;
        else if (version_)
            line_.action = Action::Version;
        else if (listMonitors_)
            line_.action = Action::ListMonitors;
        else if (line_.shot.monitorGiven && line_.shot.request.mode == ShotMode::ActiveWindow)
            return fail(text::kCliWindowAndMonitor, "");
        else if (line_.shot.monitorGiven && line_.shot.request.mode == ShotMode::Region)
            return fail(text::kCliRegionAndMonitor, "");
        else if (line_.shot.output == "-" && terminal_)
            return fail(text::kCliStdoutTerminal, "");
        // JPEG bytes in a ".bmp" file would be a file no viewer trusts.
        const ShotOptions& shot = line_.shot;
        if (shot.type && shot.output &&
            imageTypeOfPath(*shot.output).value_or(*shot.type) != *shot.type)
            return fail(text::kCliTypeAndName, *shot.output);
        return line_;
    }

private:
    bool failed() const { return line_.action == Action::UsageError; }

    ParsedLine fail(const char* error, std::string value) {
        if (!failed()) {
            line_.action = Action::UsageError;
            line_.error = error;
            line_.errorValue = std::move(value);
        }
        return line_;
    }

    // spelled: the option as the line has it ("-o", "--output"), for its error.
    void apply(const OptionKind& option, const std::optional<std::string>& value,
               const std::string& spelled) {
        ShotOptions& shot = line_.shot;
        const std::string v = value.value_or("");
        switch (option.shortName) {
            case 'd':
                if (const auto seconds = numberIn(v, 0, 3600))
                    shot.delay = *seconds;
                else
                    fail(text::kCliBadDelay, v);
                return;
            case 'w':
                shot.request.mode = ShotMode::ActiveWindow;
                shot.geometry.reset();
                return;
            case 'r':
                shot.request.mode = ShotMode::Region;
                shot.geometry.reset();
                return;
            case 'g':
                if (const auto rect = parseGeometry(v)) {
                    shot.request.mode = ShotMode::Region;
                    shot.geometry = rect;
                } else {
                    fail(text::kCliBadGeometry, v);
                }
                return;
            case 'm':
                shot.monitorGiven = true;
                shot.request.output.clear();
                if (v == "primary")
                    shot.request.monitor = MonitorChoice::Primary;
                else if (v == "pointer")
                    shot.request.monitor = MonitorChoice::UnderPointer;
                else if (v == "all")
                    shot.request.monitor = MonitorChoice::All;
                else if (!v.empty())
                    shot.request.output = v;
                else
                    fail(text::kCliBadMonitor, v);
                return;
            case 't':
                if (const auto type = imageTypeNamed(v))
                    shot.type = type;
                else
                    fail(text::kCliBadType, v);
                return;
            case 'o':
                if (v.empty())
                    fail(text::kCliValueMissing, spelled);
                else
                    shot.output = v;
                return;
            case 'q':
                if (const auto quality = numberIn(v, 1, 100))
                    shot.quality = quality;
                else
                    fail(text::kCliBadQuality, v);
                return;
            case 'p':
                shot.request.pointer = true;
                shot.noPointer = false;
                return;
            case 'c':
                shot.clipboard = true;
                shot.noClipboard = false;
                return;
            case 'n':
                shot.notify = false;
                return;
            case 'h':
                help_ = true;
                return;
            case 'V':
                version_ = true;
                return;
            default:
                break;
        }
        const std::string_view name = option.longName;
        if (name == "grey")
            shot.grey = true;
        if (name == "no-pointer")
            shot.request.pointer = false, shot.noPointer = true;
        if (name == "no-clipboard")
            shot.clipboard = false, shot.noClipboard = true;
        if (name == "list-monitors")
            listMonitors_ = true;
        // --shot itself only says: no window.
    }

    bool terminal_;
    bool help_ = false;
    bool version_ = false;
    bool listMonitors_ = false;
    ParsedLine line_;
};

}  // namespace

std::optional<SaveFormat> imageTypeNamed(std::string_view name) {
    return formatNamed(name);
}

std::optional<SaveFormat> imageTypeOfPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    return imageTypeNamed(path.substr(dot + 1));
}

ParsedLine parseCommandLine(const std::vector<std::string>& args, bool stdoutIsTerminal) {
    return Parser(stdoutIsTerminal).run(args);
}

}  // namespace kvr::cli
