// File naming in a real folder: a fuzzed prefix and a fuzzed set of numbers already taken. The
// name offered must be the first free number, and a file made under that name must take it
// (the check and the creation agree on the name, whatever bytes the prefix holds).
//
// Input: byte 0 the choices (bit 0 all screen, bit 1 BMP, bit 2 own prefix), bytes 1..13 the
// numbers taken (a bit each), the rest the prefix.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/naming.h"
#include "fuzz_check.h"

using namespace kvr;
namespace fs = std::filesystem;

namespace {

const fs::path& folder() {
    // Never destroyed: the exit handler that removes the folder runs after static destructors
    // registered later. Under TMPDIR: fuzz/run points it at its own folder, which it removes,
    // as libFuzzer ends without running exit handlers.
    static const fs::path* const path = [] {
        std::string tmpl = (fs::temp_directory_path() / "kvr-fuzz-naming-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(tmpl.data()) != nullptr);
        std::atexit([] { fs::remove_all(folder()); });
        return new fs::path(tmpl);
    }();
    return *path;
}

bool taken(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void makeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 14 || size > 300)
        return 0;
    const fs::path& dir = folder();
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());

    ShotChoices choices;
    choices.mode = data[0] & 1 ? ShotMode::AllScreen : ShotMode::ActiveWindow;
    choices.format = data[0] & 2 ? SaveFormat::Bmp : SaveFormat::Jpeg;
    choices.FileNameCheck = data[0] & 4;
    choices.FileName.assign(reinterpret_cast<const char*>(data + 14), size - 14);
    choices.Place = dir.string();
    // A prefix that climbs out of the folder or into a sub-folder is only looked at, never written.
    const bool writable = !choices.FileNameCheck || choices.FileName.find('/') == std::string::npos;

    if (writable) {
        for (int n = 0; n < 100; ++n) {
            if (data[1 + n / 8] >> (n % 8) & 1) {
                // Take number n the way a shot would: under the name offered while it is free.
                const std::optional<std::string> name = nextFileName(choices);
                if (!name)
                    break;
                makeFile(joinPath(choices.Place, *name));
            }
        }
    }

    const std::optional<std::string> name = nextFileName(choices);
    if (!name) {
        FUZZ_CHECK(writable);  // only a folder we filled can be full
        return 0;
    }
    const std::string ext = choices.format == SaveFormat::Jpeg ? ".jpg" : ".bmp";
    FUZZ_CHECK(name->ends_with(ext) && name->size() >= ext.size() + 2);
    FUZZ_CHECK(name->find('\0') == std::string::npos);
    const std::string digits = name->substr(name->size() - ext.size() - 2, 2);
    FUZZ_CHECK(digits[0] >= '0' && digits[0] <= '9' && digits[1] >= '0' && digits[1] <= '9');
    const std::string prefix = name->substr(0, name->size() - ext.size() - 2);
    const int number = (digits[0] - '0') * 10 + (digits[1] - '0');
    // Every lower number is taken, this one is free.
    for (int n = 0; n < number; ++n) {
        const char lower[3] = {char('0' + n / 10), char('0' + n % 10), '\0'};
        FUZZ_CHECK(taken(joinPath(choices.Place, prefix + lower + ext)));
    }
    const std::string path = joinPath(choices.Place, *name);
    FUZZ_CHECK(!taken(path));
    if (writable) {
        makeFile(path);
        if (taken(path)) {
            // Made: the name is no longer offered.
            const std::optional<std::string> again = nextFileName(choices);
            FUZZ_CHECK(!again || *again != *name);
        }
    }
    return 0;
}
