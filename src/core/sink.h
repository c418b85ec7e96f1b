#pragma once
// Where a writer puts the bytes of a picture: an open file, a pipe, stdout, or memory. Every
// writer has the one shape write(picture, sink), so a format writes to all of them alike.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvr {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes all of it, or raises (a refused write: the file's or stdout's write error).
    virtual void writeAll(const void* data, size_t size) = 0;
};

// The bytes gathered in memory (the clipboard's copy).
class MemorySink : public ByteSink {
public:
    void writeAll(const void* data, size_t size) override {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    std::vector<uint8_t> bytes;
};

// An open descriptor that is not ours to close or remove (stdout): a refused write raises
// text::kStdoutWriteError with the reason.
class DescriptorSink : public ByteSink {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    void writeAll(const void* data, size_t size) override;

private:
    int fd_;
};

}  // namespace kvr
