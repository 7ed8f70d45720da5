// Text, date, UTF-8, formatting and version helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvo.h"

namespace {

// An exact-size heap copy (terminator included), so that the address sanitizer
// reports any access past the terminator. A null text stays null.
class ExactText {
public:
    explicit ExactText(const char *text) {
        if (text == nullptr)
            return;
        size_ = std::strlen(text) + 1;
        bytes_.reset(new char[size_]);
        std::memcpy(bytes_.get(), text, size_);
    }
    char *get() const { return bytes_.get(); }
    // Every original byte, including terminators the parsers wrote.
    std::string bytes() const { return bytes_ ? std::string(bytes_.get(), size_ - 1) : "(null)"; }

private:
    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
};

std::string parsedDate(const char *text, const char *format) {
    ExactText copy(text);
    return std::to_string(parseDate(copy.get(), format));
}

std::string parsedTime(const char *text, const char *format) {
    ExactText copy(text);
    return std::to_string(parseTime(copy.get(), format));
}

std::string trimmed(const char *text) {
    ExactText copy(text);
    StringTrim(copy.get());
    return copy.get();
}

std::string decodedChar(const char *bytes) {
    ExactText copy(bytes);
    int length = -1;
    wchar_t c = UTF8ToUnicodeChar(copy.get(), &length);
    char text[32];
    std::snprintf(text, sizeof text, "U+%04X/%d", static_cast<unsigned>(c), length);
    return text;
}

struct TextCase {
    const char *behaviour;
    std::function<std::string()> actual;
    std::string expected;
};

}  // namespace

TEST(TextUtils, DocumentedEdgeCasesGiveTheirExactResults) {
    const TextCase cases[] = {
        {"day-month-year with a lower-case month",
         [] { return parsedDate("07-mar-2019", "dd-MMM-yyyy"); }, "20190307"},
        {"day-month-year with an unknown month",
         [] { return parsedDate("07-XYZ-2019", "dd-MMM-yyyy"); }, "20110101"},
        {"two-digit year 80 is in the 2000s", [] { return parsedDate("31.12.80", "dd.MM.yy"); }, "20801231"},
        {"two-digit year 81 is in the 1900s", [] { return parsedDate("01.01.81", "dd.MM.yy"); }, "19810101"},
        {"four-digit year is read to its end", [] { return parsedDate("05.06.2024", "dd.MM.yy"); }, "20240605"},
        {"unknown date style leaves the text alone",
         [] {
             ExactText text("2019-03-07");
             int result = parseDate(text.get(), "yyyy-mm-dd");
             return std::to_string(result) + " " + text.bytes();
         },
         "20110101 2019-03-07"},
        {"one-digit hour", [] { return parsedTime("9.05.07", "H.mm.ss"); }, "90507"},
        {"time without seconds", [] { return parsedTime("09.05", "H.mm.ss"); }, "0"},
        {"two-digit hour", [] { return parsedTime("23.59.59", "HH.mm.ss"); }, "235959"},
        {"split stops at maxTokens",
         [] {
             ExactText text("  a\tb  c ");
             char *tokens[2] = {nullptr, nullptr};
             int count = parseBySpace(text.get(), tokens, 2);
             return std::to_string(count) + " " + tokens[0] + "|" + tokens[1];
         },
         "2 a|b"},
        {"two-byte character", [] { return decodedChar("\xC3\xA9"); }, "U+00E9/2"},
        {"three-byte character", [] { return decodedChar("\xE2\x82\xAC"); }, "U+20AC/3"},
        {"four-byte character is not decoded", [] { return decodedChar("\xF0\x9F\x98\x80"); }, "U+22E0/0"},
        {"older version", [] { return std::to_string(CheckVersion("1.0.5.2", "1.0.10.0")); }, "-1"},
        {"different part counts", [] { return std::to_string(CheckVersion("1.0", "1.0.0")); }, "-2"},
        {"newer version", [] { return std::to_string(CheckVersion("2.0", "1.9")); }, "1"},
        {"numerically equal parts", [] { return std::to_string(CheckVersion("1.02", "1.2")); }, "0"},
        {"trim both ends, keep inner space", [] { return trimmed("  x y \n"); }, "x y"},
        {"trim of only whitespace", [] { return trimmed("   "); }, ""},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(c.actual(), c.expected);
    }
}

// The fixed-position styles must reject a text too short for their offsets
// without touching it, and work on texts of exactly the minimal length.
TEST(TextUtils, FixedPositionStylesNeverReachPastTheTerminator) {
    struct ParseCase {
        const char *text;
        const char *format;
        bool isDate;
        int expected;
        std::string textAfter;
    };
    const ParseCase cases[] = {
        {"", "dd-MMM-yyyy", true, 20110101, ""},
        {"07-ma", "dd-MMM-yyyy", true, 20110101, "07-ma"},
        {"07-mar", "dd-MMM-yyyy", true, 20110101, "07-mar"},
        {"07-mar-", "dd-MMM-yyyy", true, 20110101, std::string("07\0mar\0", 7)},
        {"07-mar-9", "dd-MMM-yyyy", true, 90307, std::string("07\0mar\0" "9", 8)},
        {"", "dd.MM.yy", true, 20110101, ""},
        {"31.12", "dd.MM.yy", true, 20110101, "31.12"},
        {"31.12.", "dd.MM.yy", true, 20110101, std::string("31\0" "12\0", 6)},
        {"31.12.8", "dd.MM.yy", true, 20081231, std::string("31\0" "12\0" "8", 7)},
        {"", "HH.mm.ss", false, 0, ""},
        {"23.5", "HH.mm.ss", false, 0, "23.5"},
        {"23.59", "HH.mm.ss", false, 0, "23.59"},
        {"23.59.", "HH.mm.ss", false, 0, std::string("23\0" "59\0", 6)},
        {"23.59.5", "HH.mm.ss", false, 235905, std::string("23\0" "59\0" "5", 7)},
        {"9.05", "H.mm.ss", false, 0, std::string("9\0" "05", 4)},
        {"9", "H.mm.ss", false, 0, "9"},
        {nullptr, "dd-MMM-yyyy", true, 20110101, "(null)"},
        {"07-mar-2019", nullptr, true, 20110101, "07-mar-2019"},
        {nullptr, "HH.mm.ss", false, 0, "(null)"},
        {"23.59.59", nullptr, false, 0, "23.59.59"},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " as " + (c.format ? c.format : "(null)"));
        ExactText text(c.text);
        int result = c.isDate ? parseDate(text.get(), c.format) : parseTime(text.get(), c.format);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(text.bytes(), c.textAfter);
    }
}

TEST(TextUtils, DateAndTimeFieldsThatOverflowAreRejected) {
    EXPECT_EQ(parsedDate("01-jan-99999999999", "dd-MMM-yyyy"), "20110101");
    EXPECT_EQ(parsedDate("01-jan-999999", "dd-MMM-yyyy"), "20110101");
    EXPECT_EQ(parsedTime("999999.00.00", "H.mm.ss"), "0");
}

TEST(TextUtils, SplitCutsEveryTokenAndStopsWithoutRoom) {
    ExactText text(" one\r\ntwo\tthree");
    char *tokens[4] = {};
    ASSERT_EQ(parseBySpace(text.get(), tokens, 4), 3);
    EXPECT_STREQ(tokens[0], "one");
    EXPECT_STREQ(tokens[1], "two");
    EXPECT_STREQ(tokens[2], "three");
    EXPECT_EQ(tokens[3], nullptr);

    ExactText blank(" \t\r\n");
    EXPECT_EQ(parseBySpace(blank.get(), tokens, 4), 0);

    ExactText noRoom("a b");
    EXPECT_EQ(parseBySpace(noRoom.get(), tokens, 0), 0);
    EXPECT_EQ(noRoom.bytes(), std::string("a\0b", 3));

    EXPECT_EQ(parseBySpace(nullptr, tokens, 4), 0);
}

TEST(TextUtils, TrimHandlesInnerWhitespaceAndNull) {
    EXPECT_EQ(trimmed("\t a \t b"), "a \t b");
    EXPECT_EQ(trimmed("ab"), "ab");
    EXPECT_EQ(trimmed(""), "");
    StringTrim(nullptr);
    StringTrimLeft(nullptr);
    StringTrimRight(nullptr);
}

TEST(TextUtils, Utf8DecodingStopsAtTheFirstUndecodableSequence) {
    struct DecodeCase {
        const char *bytes;
        std::wstring expected;
    };
    const DecodeCase cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC", L"a\u00E9\u20AC"},
        {"ab\xC3", L"ab\u22E0"},            // truncated two-byte sequence
        {"a\xE2\x82", L"a\u22E0"},          // truncated three-byte sequence
        {"\x80z", L"\u22E0"},               // stray continuation byte
        {"x\xF0\x9F\x98\x80y", L"x\u22E0"},  // four-byte sequence
        {"", L""},
        {nullptr, L""},
    };
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.bytes ? c.bytes : "(null)");
        ExactText text(c.bytes);
        std::vector<wchar_t> out((c.bytes ? std::strlen(c.bytes) : 0) + 1, L'#');
        UTF8ToUnicodeBuf(text.get(), out.data());
        EXPECT_EQ(std::wstring(out.data()), c.expected);
    }

    int length = -1;
    EXPECT_EQ(UTF8ToUnicodeChar(nullptr, &length), static_cast<wchar_t>(0x22E0));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(UTF8ToUnicodeChar("A", nullptr), L'A');
}

TEST(TextUtils, FormatGrowsItsBufferToFitTheResult) {
    const std::string longText(1000, 'z');
    EXPECT_EQ(StringFormat("%s", longText.c_str()), longText);
    EXPECT_EQ(StringFormat("%d-%s|%.2f", 42, "abc", 1.5), "42-abc|1.50");
    EXPECT_EQ(StringFormat(""), "");
}

TEST(TextUtils, FormatGivesUpOnAnUnformattableArgument) {
    // In the C locale a non-ASCII wide character cannot be converted, which
    // is an error that no larger buffer cures.
    const wchar_t euro[] = {0x20AC, 0};
    EXPECT_EQ(StringFormat("%ls", euro), "");
}

TEST(TextUtils, TokenAppendsStrtokStyleTokens) {
    std::vector<std::string> out{"kept"};
    StringToken(",,a,;b;;c,", ",;", out);
    EXPECT_EQ(out, (std::vector<std::string>{"kept", "a", "b", "c"}));

    StringToken(nullptr, ",", out);
    StringToken(";;", ";", out);
    EXPECT_EQ(out.size(), 4u);

    StringToken("x,y", nullptr, out);
    EXPECT_EQ(out.back(), "x,y");
}

TEST(TextUtils, TempFilePathIsTheCurrentDirectory) {
    EXPECT_EQ(GenerateTempFilePath("anything.txt"), "./");
    EXPECT_EQ(GenerateTempFilePath(nullptr), "./");
}

namespace {

// Answers the question with input read from a file standing in for the console.
bool answerWith(const std::string &input, std::string *printed) {
    char path[] = "/tmp/orvo_yes_no_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    FILE *file = fdopen(fd, "w");
    std::fputs(input.c_str(), file);
    std::fclose(file);
    EXPECT_NE(std::freopen(path, "r", stdin), nullptr);
    testing::internal::CaptureStdout();
    bool answer = PressYesNoToContinue("Continue? ");
    *printed = testing::internal::GetCapturedStdout();
    std::remove(path);
    return answer;
}

}  // namespace

TEST(TextUtils, YesNoQuestionIgnoresOtherKeysAndTakesEndOfInputAsNo) {
    struct AnswerCase {
        std::string input;
        bool expected;
        std::string printed;
    };
    const AnswerCase cases[] = {
        {"xq Y", true, "Continue? y"},
        {"y", true, "Continue? y"},
        {"\nN", false, "Continue? n"},
        {"n y", false, "Continue? n"},
        {"maze", false, "Continue? "},  // no answer before end of input
        {"", false, "Continue? "},
    };
    for (const AnswerCase &c : cases) {
        SCOPED_TRACE(c.input);
        std::string printed;
        EXPECT_EQ(answerWith(c.input, &printed), c.expected);
        EXPECT_EQ(printed, c.printed);
    }
}
