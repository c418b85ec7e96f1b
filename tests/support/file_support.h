#pragma once
// Temp folders and file bytes for every test that touches real files.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kvr::test {

// A fresh folder under the temp folder ("<stem>-XXXXXX"), removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& stem = "kvr-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A file's bytes; empty when it cannot be read (the test's own comparison then fails).
template <typename Bytes>
Bytes readAs(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    return readAs<std::vector<uint8_t>>(path);
}
inline std::string readText(const std::filesystem::path& path) {
    return readAs<std::string>(path);
}

inline void writeText(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Everything in a folder, sorted: a left-over temporary file shows up here.
inline std::vector<std::string> entries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

}  // namespace kvr::test
