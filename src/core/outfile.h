#pragma once
// The output file of one shot: created (or emptied) before anything is encoded, closed on every
// path out of the writer. A file this shot created is removed again on any path out that did not
// close it: a failed shot leaves nothing under a numbered name.
#include <sys/types.h>

#include <cstddef>
#include <string>

#include "base/error.h"
#include "core/sink.h"

namespace kvr {

class OutputFile : public ByteSink {
public:
    // Raises "ファイル "<full path>" を作成できません: <reason>" when the file cannot be made or
    // is not a regular file (a pipe, a device); never waits for a pipe's reader.
    explicit OutputFile(const std::string& path);
    // Takes fd, a file just created at path (createNextFile's): written through that descriptor,
    // never by opening the name again.
    OutputFile(std::string path, int fd);
    OutputFile(OutputFile&& other) noexcept;
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile& operator=(OutputFile&&) = delete;

    const std::string& path() const { return path_; }

    // Writes all of it; a failure raises fileWriteError and removes the part written: a
    // cut-short picture under a numbered name would look like a shot.
    void writeAll(const void* data, size_t size) override;
    // Closes the file, raising fileWriteError (and removing the file) when the system
    // reports a failure. The destructor discards a file left open that this shot created, and
    // closes one it only emptied.
    void close();
    // Closes, and removes the file if its name still leads to it (a writer that fails midway).
    void discard();
    // A writer failed: a file this shot created is discarded; one that was there before (a name
    // given) is left empty, not removed: it is not the shot's.
    void abandon();

private:
    std::string path_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool created_ = false;
};

// The file-create error for path, with the reason for the error code.
KvrError fileCreateError(const std::string& path, int code);
// The same for a write cut short (a full disk) or refused.
KvrError fileWriteError(const std::string& path, int code);
// The program's own text for a usual reason a file cannot be written (translated with the
// message), or null where the system's text (reasonText) is all there is.
const char* usualReason(int code);

// Writes all of size bytes to fd, going on after calls cut short; 0, or the errno of the
// failure (ENOSPC for a write that moved nothing).
int writeFully(int fd, const void* data, size_t size);

// The path made absolute and tidied ("." and ".." folded) without asking the file system.
std::string fullPath(const std::string& path);
// strerror(code) without trailing control characters, blanks and ".".
std::string reasonText(int code);

}  // namespace kvr
