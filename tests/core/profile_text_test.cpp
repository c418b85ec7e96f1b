// The profile format in memory: how hand-written and Windows-made files read, and how a write
// changes exactly one place of the text.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/profile.h"

using namespace kvr;

namespace {

std::optional<std::string> get(const std::string& text, const char* section, const char* key) {
    return ProfileText(text).value(section, key);
}

std::string set(const std::string& text, const char* section, const char* key, const char* value) {
    ProfileText profile(text);
    profile.setValue(section, key, value);
    return profile.content();
}

// "デスクトップ" in Shift-JIS, as a Windows copy of the file holds it.
const std::string kDesktopCp932 = "\x83\x66\x83\x58\x83\x4e\x83\x67\x83\x62\x83\x76";

}  // namespace

// Hand-written and Windows-made files: odd spacing, all three line ends, comments, duplicates,
// names in another case, empty and quoted values, CP932 bytes.
TEST(ProfileRead, HandWrittenFiles) {
    const std::string spaced =
        "  [ Save ]  \n  place  =  /tmp/x y  \n\tfilename\t=\tabc\t\v\f\nflg=0=1\n";
    const std::string lineEnds = "[A]\r\na=1\rb=2\nc=3\r\n\r\n[B]\rd=4";
    const std::string comments = "[A]\n;a=1\n   ; b=2\nc\nd=v ; not a comment\n[E\n";
    const std::string quotes = "[S]\na=\" x \"\nb='y'\nc=\"z'\nd=\"\ne=\"\"\n";
    const std::string duplicates = "[A]\nk=1\nk=2\n[B]\n[a]\nk=3\nj=4\n";
    const struct {
        std::string text;
        const char *section, *key;
        std::optional<std::string> expected;
    } cases[] = {
        {spaced, "Save", "place", "/tmp/x y"},
        {spaced, "Save", "filename", "abc"},
        {spaced, "Save", "flg", "0=1"},  // only the first "=" splits
        {lineEnds, "A", "a", "1"},
        {lineEnds, "A", "b", "2"},
        {lineEnds, "A", "c", "3"},
        {lineEnds, "B", "d", "4"},
        {lineEnds, "A", "d", std::nullopt},
        {comments, "A", "a", std::nullopt},
        {comments, "A", "b", std::nullopt},
        {comments, "A", "c", std::nullopt},
        {comments, "A", "d", "v ; not a comment"},
        {comments, "E", "x", std::nullopt},
        {"[Save] trailing text\nplace=p\n", "Save", "place", "p"},
        {"[a]b]\nk=1\n", "a]b", "k", "1"},  // the section name ends at the last bracket
        {"[a]b]\nk=1\n", "a", "k", std::nullopt},
        {duplicates, "A", "k", "1"},
        {duplicates, "A", "j", std::nullopt},  // the second [a] is never looked at
        {"[creatflg]\nTYPE=1\n", "CreatFlg", "type", "1"},
        {"[S]\nfilename=\n", "S", "filename", ""},
        {"[S]\nfilename =   \n", "S", "filename", ""},
        {quotes, "S", "a", " x "},
        {quotes, "S", "b", "y"},
        {quotes, "S", "c", "\"z'"},
        {quotes, "S", "d", "\""},
        {quotes, "S", "e", ""},
        {"k=1\n[S]\nj=2\n", "S", "k", std::nullopt},
        {"\xEF\xBB\xBF[CreatFlg]\ntype=1\n", "CreatFlg", "type", "1"},
        {"[Save]\nplace=" + kDesktopCp932 + "\n", "Save", "place", "デスクトップ"},
        {"[Save]\nplace=C:\\" + kDesktopCp932 + "\\x\n", "Save", "place", "C:\\デスクトップ\\x"},
        {"[S]\nk=a\xA0z\n", "S", "k", "a\xEF\xBF\xBDz"},  // neither CP932 nor UTF-8: still visible
        {"[Save]\nplace=/home/u/デスクトップ\n", "Save", "place", "/home/u/デスクトップ"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(get(c.text, c.section, c.key), c.expected) << c.text << " " << c.key;
}

TEST(ProfileRead, LongValuesAreCutAtACharacterBoundary) {
    EXPECT_EQ(get("[S]\nk=" + std::string(3000, 'a') + "\n", "S", "k"), std::string(2047, 'a'));
    std::string japanese;
    for (int i = 0; i < 1000; ++i)
        japanese += "あ";  // 3 bytes each
    const auto read = get("[S]\nk=" + japanese + "\n", "S", "k");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 2046u);
    EXPECT_EQ(*read, japanese.substr(0, 2046));
}

// Where a write puts a new key or section, and that it keeps the file's line ends and layout.
TEST(ProfileWrite, ChangesExactlyOnePlace) {
    const struct {
        const char *before, *section, *key, *value, *after;
    } cases[] = {
        {"", "CreatFlg", "type", "0", "[CreatFlg]\ntype=0\n"},
        // A new key goes after the last key line of its section, in the first of duplicates.
        {"[A]\na=1\n\n; about B\n[B]\nb=2\n", "a", "x", "9",
         "[A]\na=1\nx=9\n\n; about B\n[B]\nb=2\n"},
        {"[A]\n; only a comment\n[B]\n", "A", "x", "9", "[A]\nx=9\n; only a comment\n[B]\n"},
        {"[A]\na=1\n[A]\nb=2\n", "A", "b", "3", "[A]\na=1\nb=3\n[A]\nb=2\n"},
        // A new section goes at the end.
        {"[A]\na=1\n\n", "B", "b", "2", "[A]\na=1\n\n[B]\nb=2\n"},
        {"[A]\na=1", "B", "b", "2", "[A]\na=1\n[B]\nb=2\n"},
        {"[A]\na=1", "A", "b", "2", "[A]\na=1\nb=2"},
        {"[A]\r\na=1\r\n", "A", "b", "2", "[A]\r\na=1\r\nb=2\r\n"},
        {"[A]\r\na=1\r\n", "B", "c", "3", "[A]\r\na=1\r\n[B]\r\nc=3\r\n"},
        {"[A]\r\na=1\r\n", "A", "a", "5", "[A]\r\na=5\r\n"},
        // A changed key keeps its spelling and layout.
        {"[SAVE]\n  Place = /old  \n", "Save", "place", "/new", "[SAVE]\n  Place = /new\n"},
        {"[S]\nk = v\n", "S", "k", "", "[S]\nk =\n"},
        {"[S]\nk=\n", "S", "k", "v", "[S]\nk=v\n"},
        // A CP932 value is rewritten in UTF-8.
        {"[Save]\nplace=\x83\x66\x83\x58\x83\x4e\x83\x67\x83\x62\x83\x76\n", "Save", "place",
         "デスクトップ", "[Save]\nplace=デスクトップ\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(set(c.before, c.section, c.key, c.value), c.after) << c.before;
}

TEST(ProfileWrite, SameValueChangesNothing) {
    ProfileText profile("[S]\n k = v  \r\n");
    EXPECT_FALSE(profile.setValue("s", "K", "v"));
    EXPECT_EQ(profile.content(), "[S]\n k = v  \r\n");
    EXPECT_TRUE(profile.setValue("s", "K", "w"));
}

TEST(ProfileWrite, QuotedValueThatReadsTheSameChangesNothing) {
    for (const std::string text :
         {"[S]\nplace=\"a\"\n", "[S]\nplace='a'\n", "[S]\nplace = \"a\"\n"}) {
        ProfileText profile(text);
        EXPECT_FALSE(profile.setValue("S", "place", "a")) << text;
        EXPECT_EQ(profile.content(), text);
    }
    // The quotes are the value's own here: they read back without them, so this is a change.
    ProfileText quoted("[S]\nplace=\"a\"\n");
    EXPECT_TRUE(quoted.setValue("S", "place", "\"a\""));
    EXPECT_EQ(quoted.value("S", "place"), "\"a\"");
}

TEST(ProfileWrite, EveryOtherByteIsKept) {
    const std::string before =
        "; Kelvoro settings\r\n"
        "\xEF\xBD\xB1junk line\n"
        "[CreatFlg] x\n"
        "Type = 1 \n"
        "unknown=keep me\n"
        "\n"
        "[Other]\n"
        "timer=99\n"
        "[JPEG]\n"
        "grayscale=1";
    const std::string after =
        "; Kelvoro settings\r\n"
        "\xEF\xBD\xB1junk line\n"
        "[CreatFlg] x\n"
        "Type = 0\n"
        "unknown=keep me\n"
        "timer=5\r\n"
        "\n"
        "[Other]\n"
        "timer=99\n"
        "[JPEG]\n"
        "grayscale=1";
    ProfileText profile(before);
    profile.setValue("CreatFlg", "type", "0");
    profile.setValue("CreatFlg", "timer", "5");
    EXPECT_EQ(profile.content(), after);
}

TEST(ProfileWrite, ValuesThatWouldReadBackDifferentlyAreQuoted) {
    for (const std::string value : {" lead", "trail\t", "\"q\"", "'s'", "\"", "a\"b"}) {
        ProfileText profile;
        profile.setValue("S", "k", value);
        EXPECT_EQ(profile.value("S", "k"), value) << profile.content();
    }
    EXPECT_EQ(set("", "S", "k", " x"), "[S]\nk=\" x\"\n");
}

TEST(ProfileWrite, RefusesWhatTheFormatCannotHold) {
    ProfileText profile("[S]\nk=1\n");
    // A folder name with a line break would otherwise inject keys of its own.
    EXPECT_THROW(profile.setValue("S", "k", "a\n[JPEG]\ngrayscale=1"), std::invalid_argument);
    EXPECT_THROW(profile.setValue("S", "k", "a\rb"), std::invalid_argument);
    EXPECT_THROW(profile.setValue("S", "a=b", "1"), std::invalid_argument);
    EXPECT_THROW(profile.setValue("S", ";k", "1"), std::invalid_argument);
    EXPECT_THROW(profile.setValue(" S", "k", "1"), std::invalid_argument);
    EXPECT_THROW(profile.setValue("S", "", "1"), std::invalid_argument);
    EXPECT_EQ(profile.content(), "[S]\nk=1\n");
}

// A folder name is bytes, not text: one that is not UTF-8 must come back byte for byte, while a
// Shift-JIS value from Windows still reads as its characters.
TEST(ProfileWrite, ValuesThatAreNotUtf8ReadBackAsTheirBytes) {
    const std::string paths[] = {
        "/home/caf\xE9/Desktop",      // Latin-1: not valid CP932 either
        "/home/caf\xE9s/Desktop",     // Latin-1 that happens to be a CP932 character
        "/home/" + kDesktopCp932,     // the bytes of a Shift-JIS name, made by a Linux tool
        "\xFF\xFE/x",                 // starts with bytes valid in neither
        " \x83\x66 ",                 // blanks around, quoted on the way
        std::string("/tmp/\xC3", 6),  // a cut UTF-8 character at the end
    };
    for (const std::string& path : paths) {
        ProfileText profile("[Save]\r\nplace=old\r\nflg=1\r\n");
        ASSERT_TRUE(profile.setValue("Save", "place", path));
        EXPECT_EQ(profile.value("Save", "place"), path) << profile.content();
        EXPECT_EQ(profile.value("Save", "flg"), "1");
        EXPECT_FALSE(profile.setValue("Save", "place", path)) << "stored again";
    }
    // What the files brought from Windows and our own UTF-8 files hold still reads the same.
    EXPECT_EQ(get("[Save]\nplace=" + kDesktopCp932 + "\n", "Save", "place"), "デスクトップ");
    EXPECT_EQ(get("[Save]\nplace=/home/u/デスクトップ\n", "Save", "place"), "/home/u/デスクトップ");
}

// A hand-edited value with a NUL byte reads up to it, as the C string a Windows reader returns:
// every user of the value (name check, file creation, dialogs) then sees the same text.
TEST(ProfileRead, ValueEndsAtANulByte) {
    EXPECT_EQ(get(std::string("[Save]\nfilename=a\0b\n", 20), "Save", "filename"), "a");
    EXPECT_EQ(get(std::string("[Save]\nfilename=\0\n", 18), "Save", "filename"), "");
}

// A file whose first line ends with a lone CR: a new line ending with CR right before an LF
// would join it into one CR LF and swallow the blank line that LF ends.
TEST(ProfileWrite, NewLineKeepsTheBlankLinesAfterIt) {
    EXPECT_EQ(set("\r[S]\n\n", "S", "k", "v"), "\r[S]\nk=v\n\n");
    EXPECT_EQ(set("\r[S]\r\nk=1\r\n\n[T]\n", "S", "j", "v"), "\r[S]\r\nk=1\r\nj=v\r\n\n[T]\n");
    EXPECT_EQ(set("\r[S]\rk=1\r\r", "S", "j", "v"), "\r[S]\rk=1\rj=v\r\r");
}
