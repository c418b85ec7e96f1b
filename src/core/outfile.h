#pragma once
// The output file of one shot: created (or emptied) before anything is encoded, closed on every
// path out of the writer.
#include <cstddef>
#include <string>

namespace kvr {

class OutputFile {
public:
    // Raises "ファイル "<full path>". <reason> を作成できません" when the file cannot be made.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes all of it; a failure raises text::kWriteError and keeps what was written.
    void writeAll(const void* data, size_t size);
    // Closes the file, raising text::kWriteError when the system reports a failure. The
    // destructor closes a file left open (after an error) without a word.
    void close();

private:
    int fd_ = -1;
};

// The path made absolute and tidied ("." and ".." folded) without asking the file system.
std::string fullPath(const std::string& path);
// strerror(code) without trailing control characters, blanks and ".".
std::string reasonText(int code);

}  // namespace kvr
