#pragma once
// The output file of one shot: created (or emptied) before anything is encoded, closed on every
// path out of the writer.
#include <cstddef>
#include <string>

namespace kvr {

extern const char* const kWriteErrorMessage;  // "ストリームへの書き込みエラー"

class OutputFile {
public:
    // Raises "ファイル "<full path>". <reason> を作成できません" when the file cannot be made.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // One write call; anything short of size raises kWriteErrorMessage and keeps what was written.
    void writeAll(const void* data, size_t size);

private:
    int fd_ = -1;
};

// The path made absolute and tidied ("." and ".." folded) without asking the file system.
std::string fullPath(const std::string& path);
// strerror(code) without trailing control characters, blanks and ".".
std::string reasonText(int code);

}  // namespace kvr
