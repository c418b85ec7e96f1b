// Writes the system cuts short or refuses: the file-size limit with SIGXFSZ left at its default,
// calls interrupted part-way, memory running out, links, pipes and devices in place of the output
// file, and an output folder that cannot be made.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "base/error.h"
#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/outfile.h"
#include "core/png.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/shot.h"
#include "file_support.h"
#include "process.h"

// AddressSanitizer's allocator takes its memory outside the address-space limit these tests set.
#if defined(__SANITIZE_ADDRESS__)
#define KVR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVR_ASAN 1
#endif
#endif

namespace kvr {
namespace {

namespace fs = std::filesystem;
using test::childRaises;

class WriteFaults : public ::testing::Test {
protected:
    test::TempDir dir_;
};

// The default disposition, as a user's shell leaves it: no help from the test.
void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit rl{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &rl);
}

// Mounts a small file system of this process's own on folder and fills it.
void fillDisk(const fs::path& folder) {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("kvr-full", folder.c_str(), "tmpfs", 0, "size=16k") != 0)
        _exit(101);
    std::ofstream filler(folder / "filler");
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
}

// No more address space than in use now, and of the heap already there only spare bytes left
// free: the next large allocation fails whatever earlier tests left lying in the heap.
void limitMemory(size_t spare) {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const rlim_t limit = rlim_t(pages) * sysconf(_SC_PAGESIZE);
    rlimit rl{limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    constexpr size_t kBlock = 4096;
    void* last = nullptr;  // the blocks taken, chained through their first bytes
    while (void* block = std::malloc(kBlock)) {
        *static_cast<void**>(block) = last;
        last = block;
    }
    for (size_t freed = 0; freed < spare && last; freed += kBlock) {
        void* next = *static_cast<void**>(last);
        std::free(last);
        last = next;
    }
}

// A write cut short names the file and why. The cut-short file is removed: left under its
// numbered name it would look like a shot and take one of the hundred numbers.
TEST_F(WriteFaults, WriteCutShortNamesTheFileAndTheReasonAndLeavesNoPartialFile) {
    std::ofstream(dir_ / "other.bmp") << "not ours";
    Picture noise = makeOwnedPicture(200, 200, 32, 800);
    for (size_t i = 0; i < 800 * 200; ++i)
        mutablePixels(noise)[i] = uint8_t(i * 2654435761u >> 13);
    const fs::path full = dir_ / "full";
    fs::create_directory(full);
    // The file-size limit (BMP: the headers fill the file to it; JPEG: one write crosses it;
    // PNG: the compressed rows do), then a full disk: a small file system of the child's own,
    // filled up (mounting takes root).
    for (const bool disk : {false, geteuid() == 0})
        for (const auto& [format, limit] :
             {std::pair{SaveFormat::Bmp, 54}, {SaveFormat::Jpeg, 1000}, {SaveFormat::Png, 60}}) {
            const fs::path path = (disk ? full : dir_.path()) / ("a" + std::to_string(limit));
            const std::string reason =
                disk ? "ディスクに空きがありません" : "ファイルが大きすぎます";
            EXPECT_EQ(
                childRaises(
                    "ファイル \"" + path.string() + "\" のストリームへの書き込みエラー: " + reason,
                    [&, format = format, limit = limit] {
                        if (disk)
                            fillDisk(full);
                        else
                            limitFileSize(limit);
                        writeShot(noise, format, path.parent_path(), path, JpegOptions{100, false});
                    }),
                0)
                << path;
        }
    EXPECT_EQ(test::entries(dir_.path()), (std::vector<std::string>{"full", "other.bmp"}));
}

TEST_F(WriteFaults, FileSizeLimitRefusesTheSettingsWriteAndLeavesNoTemporaryFile) {
    const std::string ini = (dir_ / "kvr.ini").string();
    const std::string old = "[Save]\nplace=" + std::string(5000, 'p') + "\n";
    std::ofstream(ini, std::ios::binary) << old;
    EXPECT_EQ(childRaises(ini + " に書き込めません",
                          [&] {
                              limitFileSize(4096);
                              writeProfileString(ini, "Save", "filename", "x");
                          }),
              0);
    EXPECT_EQ(test::readText(ini), old);
    EXPECT_EQ(test::entries(dir_.path()), std::vector<std::string>{"kvr.ini"});
}

void noteSignal(int) {}

TEST_F(WriteFaults, WriteCutShortByASignalGoesOnWithTheRest) {
    // A pipe, as only pipes and sockets let a signal cut a write short; the output file itself
    // is never one (below).
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    struct sigaction handler {
    }, previous{};
    handler.sa_handler = noteSignal;  // no SA_RESTART: the write returns what it moved so far
    sigemptyset(&handler.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &handler, &previous), 0);

    std::vector<uint8_t> data(1 << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + (i >> 12));
    std::vector<uint8_t> received;
    const pthread_t writer = pthread_self();
    std::thread reader([&, fd = ends[0]] {
        // A full pipe means the writer sits inside its one big write call: interrupt it there.
        const int capacity = fcntl(fd, F_GETPIPE_SZ);
        int queued = 0;
        while (ioctl(fd, FIONREAD, &queued) == 0 && queued < capacity)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pthread_kill(writer, SIGUSR1);
        uint8_t buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            received.insert(received.end(), buffer, buffer + n);
        ::close(fd);
    });
    EXPECT_EQ(writeFully(ends[1], data.data(), data.size()), 0);
    ::close(ends[1]);
    reader.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

// A pipe with no reader would block the shot for ever in open; one with a reader, or a device,
// would take the picture somewhere it is not a file. Only regular files are written.
TEST_F(WriteFaults, PipeOrDeviceInPlaceOfTheFileIsRefusedAtOnce) {
    const fs::path fifo = dir_ / "ALL_B00.bmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const bool jpeg : {false, true}) {
        EXPECT_EQ(childRaises("ファイル \"" + fifo.string() +
                                  "\" を作成できません: No such device or address",
                              [&] {
                                  alarm(20);  // a hang shows as a failure, not a stuck suite
                                  const Picture p = makeOwnedPicture(2, 2, 32, 8);
                                  if (jpeg)
                                      saveJpeg(p, fifo, 30, false);
                                  else
                                      saveBmp(p, fifo);
                              }),
                  0);
    }
    // Someone reading the pipe: it opens, but it is still no file.
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
        char byte;
        while (fd >= 0 && ::read(fd, &byte, 1) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    });
    // The reader's open blocks until a writer comes: give it one that closes at once.
    while (true) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            try {
                saveBmp(makeOwnedPicture(2, 2, 32, 8), fifo);
                ADD_FAILURE() << "a pipe with a reader was written";
            } catch (const KvrError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "ファイル \"" + fifo.string() +
                              "\" を作成できません: 通常のファイルではありません");
            }
            ::close(fd);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reader.join();
    EXPECT_TRUE(fs::is_fifo(fifo));

    EXPECT_THROW(saveBmp(makeOwnedPicture(2, 2, 32, 8), "/dev/null"), KvrError);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// The missing output folder cannot be made: the message gives that reason, not the "No such
// file or directory" of the file that could then not be created in it.
TEST_F(WriteFaults, FolderThatCannotBeMadeGivesItsOwnReason) {
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(dir_.path(), fs::perms(0755));
    fs::permissions(locked, fs::perms(0555));
    const fs::path folder = locked / "shots";
    const fs::path file = folder / "ALL_J00.jpg";
    EXPECT_EQ(
        childRaises("ファイル \"" + file.string() + "\" を作成できません: アクセスが拒否されました",
                    [&] {
                        // root may write anywhere: take the rights of an ordinary user.
                        if (geteuid() == 0)
                            test::becomeOrdinaryUser();
                        writeShot(makeOwnedPicture(2, 2, 32, 8), SaveFormat::Jpeg, folder, file,
                                  JpegOptions{});
                    }),
        0);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(WriteFaults, LinkInTheOutputFolderIsNotWrittenThrough) {
    const fs::path outside = dir_ / "outside";
    fs::create_directory(outside);
    fs::create_symlink(outside / "new.bmp", dir_ / "ALL_B00.bmp");
    EXPECT_THROW(saveBmp(makeOwnedPicture(2, 2, 32, 8), dir_ / "ALL_B00.bmp"), KvrError);
    EXPECT_FALSE(fs::exists(outside / "new.bmp"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "ALL_B00.bmp"));

    std::ofstream(outside / "keep.txt") << "precious";
    fs::create_symlink(outside / "keep.txt", dir_ / "ALL_J00.jpg");
    EXPECT_THROW(saveJpeg(makeOwnedPicture(2, 2, 32, 8), dir_ / "ALL_J00.jpg", 30, false),
                 KvrError);
    EXPECT_EQ(test::readText(outside / "keep.txt"), "precious");
}

TEST_F(WriteFaults, NoMemoryForTheBmpConversionIsAResourceErrorAndTakesItsFileAway) {
#ifdef KVR_ASAN
    GTEST_SKIP() << "AddressSanitizer's allocator ignores the address-space limit";
#endif
    const fs::path path = dir_ / "nomem.bmp";
    EXPECT_EQ(childRaises("システム リソースが足りません",
                          [&] {
                              const Picture p = makeOwnedPicture(4096, 4096, 32, 4096 * 4);
                              limitMemory(64 << 10);  // far from a second 64 MB copy
                              saveBmp(p, path);
                          }),
              0);
    EXPECT_FALSE(fs::exists(path)) << "made by the failed shot: gone with it";
}

// A file that was there before (a name given with -o) is emptied, not removed: it is not the
// shot's.
TEST_F(WriteFaults, NoMemoryForTheJpegConversionHasTheMemoryMessageAndAnEmptyFile) {
#ifdef KVR_ASAN
    GTEST_SKIP() << "AddressSanitizer's allocator ignores the address-space limit";
#endif
    const fs::path path = dir_ / "nomem.jpg";
    std::ofstream(path) << "old contents";
    EXPECT_EQ(childRaises("メモリストリームの拡大中にメモリが足りなくなりました",
                          [&] {
                              // 16 bits per pixel go through a converter and its 192 KB table.
                              Picture p = makeOwnedPicture(60000, 2, 16, 120000);
                              p.redMask = 0xf800, p.greenMask = 0x07e0, p.blueMask = 0x001f;
                              limitMemory(64 << 10);
                              saveJpeg(p, path, 30, false);
                          }),
              0);
    EXPECT_EQ(fs::file_size(path), 0u);
}

}  // namespace
}  // namespace kvr
