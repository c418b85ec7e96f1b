// The profile file on disk: missing and odd files read as empty, every write replaces the file
// whole or not at all, and a refused write says so and leaves the old file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/error.h"
#include "core/profile.h"
#include "file_support.h"
#include "process.h"

namespace fs = std::filesystem;
using namespace kvr;

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    static void put(const fs::path& path, const std::string& bytes) {
        test::writeText(path, bytes);
    }
    static std::string bytes(const fs::path& path) { return test::readText(path); }
    std::vector<std::string> entries() const { return test::entries(tmp.path()); }
    // Root's rights skip the checks below: there the write runs as an ordinary user who owns
    // the test's folder and file.
    void expectRefusedAsUser(const std::string& path) {
        if (!isRoot()) {
            expectRefused(path);
            return;
        }
        for (const fs::path& p : {dir, fs::path(path)}) {
            if (fs::exists(p)) {
                EXPECT_EQ(chown(p.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
            }
        }
        EXPECT_EQ(test::childRaises(path + " に書き込めません",
                                    [&] {
                                        test::becomeOrdinaryUser();
                                        writeProfileString(path, "CreatFlg", "type", "1");
                                    }),
                  0);
    }
    void expectRefused(const std::string& path) {
        try {
            writeProfileString(path, "CreatFlg", "type", "1");
            ADD_FAILURE() << "write to " << path << " was not refused";
        } catch (const KvrError& e) {
            EXPECT_EQ(std::string(e.what()), path + " に書き込めません");
        }
    }
    static bool isRoot() { return geteuid() == 0; }

    test::TempDir tmp;
    const fs::path dir = tmp.path();
    const std::string ini = (dir / "kvr.ini").string();
};

}  // namespace

TEST_F(ProfileFileTest, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    EXPECT_EQ(readProfileString(ini, "CreatFlg", "type"), std::nullopt);
    EXPECT_FALSE(fs::exists(ini));
    writeProfileString(ini, "CreatFlg", "type", "0");
    EXPECT_EQ(bytes(ini), "[CreatFlg]\ntype=0\n");
    EXPECT_EQ(readProfileString(ini, "creatflg", "TYPE"), "0");
    EXPECT_EQ(entries(), std::vector<std::string>{"kvr.ini"});
}

TEST_F(ProfileFileTest, NewFileGetsTheUsualPermissions) {
    const mode_t old = umask(022);
    writeProfileString(ini, "S", "k", "v");
    umask(old);
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0644));
}

TEST_F(ProfileFileTest, SameValueLeavesTheFileAlone) {
    for (const std::string text : {"[S]\r\nk = v \r\n", "[S]\nk=\"v\"\n"}) {
        put(ini, text);
        struct stat before, after;
        ASSERT_EQ(stat(ini.c_str(), &before), 0);
        writeProfileString(ini, "s", "K", "v");
        ASSERT_EQ(stat(ini.c_str(), &after), 0);
        EXPECT_EQ(before.st_ino, after.st_ino);  // a rewrite would be a new file
        EXPECT_EQ(bytes(ini), text);
    }
}

TEST_F(ProfileFileTest, OddThingsInPlaceOfTheFileReadAsEmpty) {
    fs::create_directory(ini);
    EXPECT_EQ(readProfileString(ini, "S", "k"), std::nullopt);
    fs::remove(ini);
    ASSERT_EQ(mkfifo(ini.c_str(), 0644), 0);
    EXPECT_EQ(readProfileString(ini, "S", "k"), std::nullopt);  // and does not hang
    expectRefused(ini);
}

TEST_F(ProfileFileTest, RefusedWhenThePathIsAFolder) {
    fs::create_directories(fs::path(ini) / "inner");
    expectRefused(ini);
    EXPECT_TRUE(fs::is_directory(fs::path(ini) / "inner"));
    EXPECT_EQ(entries(), std::vector<std::string>{"kvr.ini"});
}

TEST_F(ProfileFileTest, RefusedInAReadOnlyFolder) {
    put(ini, "[CreatFlg]\ntype=0\n");
    fs::permissions(dir, fs::perms(0555));
    expectRefusedAsUser(ini);
    fs::permissions(dir, fs::perms(0755));
    EXPECT_EQ(bytes(ini), "[CreatFlg]\ntype=0\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"kvr.ini"});
}

TEST_F(ProfileFileTest, ReadOnlyFileIsRefusedThoughItsFolderIsWritable) {
    put(ini, "[CreatFlg]\ntype=0\n");
    fs::permissions(ini, fs::perms(0444));
    if (isRoot()) {
        // The file's own bits do not stop root; they survive the rewrite.
        writeProfileString(ini, "CreatFlg", "type", "1");
        EXPECT_EQ(bytes(ini), "[CreatFlg]\ntype=1\n");
        EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0444));
        return;
    }
    expectRefused(ini);
    EXPECT_EQ(bytes(ini), "[CreatFlg]\ntype=0\n");
}

TEST_F(ProfileFileTest, UnreadableFileIsRefusedNotReplaced) {
    put(ini, "[Save]\nplace=/keep\n");
    fs::permissions(ini, fs::perms(0200));
    if (!isRoot()) {  // root reads every file
        EXPECT_EQ(readProfileString(ini, "Save", "place"), std::nullopt);
    }
    expectRefusedAsUser(ini);
    fs::permissions(ini, fs::perms(0600));
    EXPECT_EQ(bytes(ini), "[Save]\nplace=/keep\n");
}

TEST_F(ProfileFileTest, PermissionBitsAreKept) {
    put(ini, "[S]\nk=1\n");
    fs::permissions(ini, fs::perms(0604));
    writeProfileString(ini, "S", "k", "2");
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0604));
    EXPECT_EQ(bytes(ini), "[S]\nk=2\n");
}

TEST_F(ProfileFileTest, WritesGoThroughSymbolicLinksToTheirTarget) {
    fs::create_directory(dir / "real");
    put(dir / "real" / "settings.ini", "[S]\nk=1\n");
    fs::create_symlink("settings.ini", dir / "real" / "middle.ini");
    fs::create_symlink("real/middle.ini", ini);
    writeProfileString(ini, "S", "k", "2");
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_TRUE(fs::is_symlink(dir / "real" / "middle.ini"));
    EXPECT_EQ(bytes(dir / "real" / "settings.ini"), "[S]\nk=2\n");
    EXPECT_EQ(readProfileString(ini, "S", "k"), "2");
    EXPECT_EQ(entries(), (std::vector<std::string>{"kvr.ini", "real"}));
}

TEST_F(ProfileFileTest, DanglingLinkCreatesItsTarget) {
    fs::create_symlink(dir / "elsewhere.ini", ini);
    writeProfileString(ini, "S", "k", "v");
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(bytes(dir / "elsewhere.ini"), "[S]\nk=v\n");
}

TEST_F(ProfileFileTest, LinkLoopIsRefused) {
    fs::create_symlink("kvr.ini", ini);
    expectRefused(ini);
}
