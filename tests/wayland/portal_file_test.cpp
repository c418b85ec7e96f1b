// The portal's picture file: read only when it is this user's regular file, reached without a
// symbolic link; anything else stays where it is. (Which files are removed: hostile_peer_test.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "file_support.h"
#include "platform/wayland/portal_file.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::TempDir;
using test::writeText;

TEST(PortalUri, FileUrisGiveTheirLocalPath) {
    EXPECT_EQ(localPathOfUri("file:///home/u/Pictures/Screenshot.png"),
              "/home/u/Pictures/Screenshot.png");
    EXPECT_EQ(localPathOfUri("file:///home/u/My%20Pictures/%E7%94%BB.png"),
              "/home/u/My Pictures/\xE7\x94\xBB.png");
    EXPECT_EQ(localPathOfUri("file://localhost/tmp/out.png"), "/tmp/out.png");
}

TEST(PortalUri, AnythingElseGivesNothing) {
    for (const char* uri : {"", "/tmp/out.png", "http://host/out.png", "file://otherhost/out.png",
                            "file:///tmp/bad%zz.png", "file:///tmp/cut%2", "file:///tmp/nul%00.png",
                            "file:///tmp/out.png?x=1", "file:relative.png"}) {
        EXPECT_EQ(localPathOfUri(uri), std::nullopt) << uri;
    }
}

TEST(PortalFile, ALinkInTheFilesPlaceIsNeitherFollowedNorRemoved) {
    TempDir dir;
    writeText(dir / "precious.txt", "keep me");
    fs::create_symlink(dir / "precious.txt", dir / "Screenshot.png");
    EXPECT_EQ(takePortalPicture(dir / "Screenshot.png", portalRequestBegins()), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(dir / "Screenshot.png"));
    EXPECT_EQ(readText(dir / "precious.txt"), "keep me");
}

TEST(PortalFile, WhatIsNotARegularFileStays) {
    TempDir dir;
    fs::create_directory(dir / "folder.png");
    ASSERT_EQ(mkfifo((dir / "fifo.png").c_str(), 0600), 0);
    for (const char* name : {"folder.png", "fifo.png", "missing.png"}) {
        EXPECT_EQ(takePortalPicture(dir / name, portalRequestBegins()), std::nullopt) << name;
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder.png"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.png"));
    EXPECT_EQ(takePortalPicture("relative/Screenshot.png", portalRequestBegins()), std::nullopt);
    EXPECT_EQ(takePortalPicture(dir.path().string() + "/", portalRequestBegins()), std::nullopt);
}

TEST(PortalFile, AnotherUsersFileStays) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    TempDir dir;
    writeText(dir / "Screenshot.png", "theirs");
    ASSERT_EQ(chown((dir / "Screenshot.png").c_str(), 65534, 65534), 0);
    EXPECT_EQ(takePortalPicture(dir / "Screenshot.png", portalRequestBegins()), std::nullopt);
    EXPECT_EQ(readText(dir / "Screenshot.png"), "theirs");
}

}  // namespace
}  // namespace kvr
