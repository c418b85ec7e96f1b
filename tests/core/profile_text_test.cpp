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

TEST(ProfileRead, OddSpacingAroundNamesAndValues) {
    const std::string text =
        "  [ Save ]  \n"
        "  place  =  /tmp/x y  \n"
        "\tfilename\t=\tabc\t\v\f\n"
        "flg=0=1\n";
    EXPECT_EQ(get(text, "Save", "place"), "/tmp/x y");
    EXPECT_EQ(get(text, "Save", "filename"), "abc");
    EXPECT_EQ(get(text, "Save", "flg"), "0=1");  // only the first "=" splits
}

TEST(ProfileRead, AllThreeLineEnds) {
    const std::string text = "[A]\r\na=1\rb=2\nc=3\r\n\r\n[B]\rd=4";
    EXPECT_EQ(get(text, "A", "a"), "1");
    EXPECT_EQ(get(text, "A", "b"), "2");
    EXPECT_EQ(get(text, "A", "c"), "3");
    EXPECT_EQ(get(text, "B", "d"), "4");
    EXPECT_EQ(get(text, "A", "d"), std::nullopt);
}

TEST(ProfileRead, CommentsAndLinesThatAreNoKeys) {
    const std::string text =
        "[A]\n"
        ";a=1\n"
        "   ; b=2\n"
        "c\n"
        "d=v ; not a comment\n"
        "[E\n";
    EXPECT_EQ(get(text, "A", "a"), std::nullopt);
    EXPECT_EQ(get(text, "A", "b"), std::nullopt);
    EXPECT_EQ(get(text, "A", "c"), std::nullopt);
    EXPECT_EQ(get(text, "A", "d"), "v ; not a comment");
    EXPECT_EQ(get(text, "E", "x"), std::nullopt);
}

TEST(ProfileRead, SectionNameEndsAtTheLastBracket) {
    EXPECT_EQ(get("[Save] trailing text\nplace=p\n", "Save", "place"), "p");
    EXPECT_EQ(get("[a]b]\nk=1\n", "a]b", "k"), "1");
    EXPECT_EQ(get("[a]b]\nk=1\n", "a", "k"), std::nullopt);
}

TEST(ProfileRead, FirstOfDuplicateSectionsAndKeysWins) {
    const std::string text = "[A]\nk=1\nk=2\n[B]\n[a]\nk=3\nj=4\n";
    EXPECT_EQ(get(text, "A", "k"), "1");
    EXPECT_EQ(get(text, "A", "j"), std::nullopt);  // the second [a] is never looked at
}

TEST(ProfileRead, NamesIgnoreCase) {
    EXPECT_EQ(get("[creatflg]\nTYPE=1\n", "CreatFlg", "type"), "1");
}

TEST(ProfileRead, EmptyValueIsPresent) {
    EXPECT_EQ(get("[S]\nfilename=\n", "S", "filename"), "");
    EXPECT_EQ(get("[S]\nfilename =   \n", "S", "filename"), "");
}

TEST(ProfileRead, MatchingQuotesAreDropped) {
    const std::string text = "[S]\na=\" x \"\nb='y'\nc=\"z'\nd=\"\ne=\"\"\n";
    EXPECT_EQ(get(text, "S", "a"), " x ");
    EXPECT_EQ(get(text, "S", "b"), "y");
    EXPECT_EQ(get(text, "S", "c"), "\"z'");
    EXPECT_EQ(get(text, "S", "d"), "\"");
    EXPECT_EQ(get(text, "S", "e"), "");
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

TEST(ProfileRead, Cp932ValuesReadAsUtf8) {
    EXPECT_EQ(get("[Save]\nplace=" + kDesktopCp932 + "\n", "Save", "place"), "デスクトップ");
    EXPECT_EQ(get("[Save]\nplace=C:\\" + kDesktopCp932 + "\\x\n", "Save", "place"),
              "C:\\デスクトップ\\x");
    // A byte that is not CP932 either still reads as something visible.
    EXPECT_EQ(get("[S]\nk=a\xA0z\n", "S", "k"), "a\xEF\xBF\xBDz");
    // Already UTF-8: taken as it is.
    EXPECT_EQ(get("[Save]\nplace=/home/u/デスクトップ\n", "Save", "place"), "/home/u/デスクトップ");
}

TEST(ProfileRead, KeysBeforeAnySectionBelongToNone) {
    EXPECT_EQ(get("k=1\n[S]\nj=2\n", "S", "k"), std::nullopt);
}

TEST(ProfileRead, ByteOrderMarkDoesNotHideTheFirstSection) {
    EXPECT_EQ(get("\xEF\xBB\xBF[CreatFlg]\ntype=1\n", "CreatFlg", "type"), "1");
}

TEST(ProfileWrite, EmptyTextGetsSectionAndKey) {
    EXPECT_EQ(set("", "CreatFlg", "type", "0"), "[CreatFlg]\ntype=0\n");
}

TEST(ProfileWrite, NewKeyGoesAfterTheLastKeyLineOfItsSection) {
    EXPECT_EQ(set("[A]\na=1\n\n; about B\n[B]\nb=2\n", "a", "x", "9"),
              "[A]\na=1\nx=9\n\n; about B\n[B]\nb=2\n");
    EXPECT_EQ(set("[A]\n; only a comment\n[B]\n", "A", "x", "9"),
              "[A]\nx=9\n; only a comment\n[B]\n");
    // Only the first of duplicate sections takes the key.
    EXPECT_EQ(set("[A]\na=1\n[A]\nb=2\n", "A", "b", "3"), "[A]\na=1\nb=3\n[A]\nb=2\n");
}

TEST(ProfileWrite, NewSectionGoesAtTheEnd) {
    EXPECT_EQ(set("[A]\na=1\n\n", "B", "b", "2"), "[A]\na=1\n\n[B]\nb=2\n");
    EXPECT_EQ(set("[A]\na=1", "B", "b", "2"), "[A]\na=1\n[B]\nb=2\n");
    EXPECT_EQ(set("[A]\na=1", "A", "b", "2"), "[A]\na=1\nb=2");
}

TEST(ProfileWrite, CrLfFileStaysCrLf) {
    EXPECT_EQ(set("[A]\r\na=1\r\n", "A", "b", "2"), "[A]\r\na=1\r\nb=2\r\n");
    EXPECT_EQ(set("[A]\r\na=1\r\n", "B", "c", "3"), "[A]\r\na=1\r\n[B]\r\nc=3\r\n");
    EXPECT_EQ(set("[A]\r\na=1\r\n", "A", "a", "5"), "[A]\r\na=5\r\n");
}

TEST(ProfileWrite, ChangedKeyKeepsItsSpellingAndLayout) {
    EXPECT_EQ(set("[SAVE]\n  Place = /old  \n", "Save", "place", "/new"),
              "[SAVE]\n  Place = /new\n");
    EXPECT_EQ(set("[S]\nk = v\n", "S", "k", ""), "[S]\nk =\n");
    EXPECT_EQ(set("[S]\nk=\n", "S", "k", "v"), "[S]\nk=v\n");
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

TEST(ProfileWrite, Cp932ValueIsRewrittenInUtf8) {
    ProfileText profile("[Save]\nplace=" + kDesktopCp932 + "\n");
    EXPECT_TRUE(profile.setValue("Save", "place", "デスクトップ"));
    EXPECT_EQ(profile.content(), "[Save]\nplace=デスクトップ\n");
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
