// Text, date and version helpers exported next to the device API.
#include "util/stdafx.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

using orvo::kDateParseFailure;
using orvo::kTimeParseFailure;
using orvo::kUndecodableChar;

const char *const sMMMstrArray[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The fixed-position styles write terminators and read fields up to these
// offsets, so a text must be at least this long before it is touched.
constexpr size_t kDayMonYearMinLength = 7;   // "dd-MMM-yyyy": writes [2], [6]; reads [7]
constexpr size_t kDottedDateMinLength = 6;   // "dd.MM.yy": writes [2], [5]; reads [6]
constexpr size_t kDottedTimeMinLength = 6;   // "HH.mm.ss": writes [2], [5]; reads [6]

// Yy years up to this bound belong to the 2000s, the rest to the 1900s.
constexpr int kTwoDigitYearPivot = 81;

// Beyond this a negative vsnprintf result is a real error, not a short buffer.
constexpr size_t kMaxFormatBufferBytes = 1u << 20;

bool isTokenSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isTrimSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads a decimal integer the way sscanf "%d" does, but refuses values that do
// not fit an int instead of leaving them undefined.
bool readInt(const char *text, int *value) {
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

// Packs three fields as a * 10000 + b * 100 + c; failure when that overflows.
int packFields(int a, int b, int c, int failure) {
    long long packed = a * 10000LL + b * 100LL + c;
    if (packed < INT_MIN || packed > INT_MAX)
        return failure;
    return static_cast<int>(packed);
}

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

static int iMMMtoMonth(char *name) {
    for (int i = 0; i < 12; ++i) {
        if (strcasecmp(name, sMMMstrArray[i]) == 0)
            return i + 1;
    }
    return 0;
}

ORVO_API void StringTrimRight(char *s) {
    if (s == nullptr)
        return;
    char *runStart = nullptr;
    for (char *p = s; *p != '\0'; ++p) {
        if (!isTrimSpace(*p))
            runStart = nullptr;
        else if (runStart == nullptr)
            runStart = p;
    }
    if (runStart != nullptr)
        *runStart = '\0';
}

ORVO_API void StringTrimLeft(char *s) {
    if (s == nullptr)
        return;
    char *first = s;
    while (*first != '\0' && isTrimSpace(*first))
        ++first;
    if (first != s)
        std::memmove(s, first, std::strlen(first) + 1);
}

ORVO_API void StringTrim(char *s) {
    StringTrimRight(s);
    StringTrimLeft(s);
}

ORVO_API int parseBySpace(char *text, char **tokens, int maxTokens) {
    if (text == nullptr || tokens == nullptr)
        return 0;
    int count = 0;
    char *p = text;
    for (;;) {
        while (isTokenSpace(*p))
            ++p;
        if (*p == '\0')
            break;
        char *start = p;
        while (*p != '\0' && !isTokenSpace(*p))
            ++p;
        if (*p != '\0')
            *p++ = '\0';
        // The token is cut even when there is no room left to store it.
        if (count >= maxTokens)
            break;
        tokens[count++] = start;
    }
    return count;
}

ORVO_API int parseDate(char *text, const char *format) {
    if (text == nullptr || format == nullptr)
        return kDateParseFailure;
    int day = 0;
    int month = 0;
    int year = 0;
    if (std::strcmp(format, "dd-MMM-yyyy") == 0) {
        if (strnlen(text, kDayMonYearMinLength) < kDayMonYearMinLength)
            return kDateParseFailure;
        text[2] = '\0';
        text[6] = '\0';
        if (!readInt(text, &day) || !readInt(text + 7, &year))
            return kDateParseFailure;
        month = iMMMtoMonth(text + 3);
        if (month == 0)
            return kDateParseFailure;
    } else if (std::strcmp(format, "dd.MM.yy") == 0) {
        if (strnlen(text, kDottedDateMinLength) < kDottedDateMinLength)
            return kDateParseFailure;
        text[2] = '\0';
        text[5] = '\0';
        if (!readInt(text, &day) || !readInt(text + 3, &month) || !readInt(text + 6, &year))
            return kDateParseFailure;
        if (year <= 99)
            year += year < kTwoDigitYearPivot ? 2000 : 1900;
    } else {
        return kDateParseFailure;
    }
    return packFields(year, month, day, kDateParseFailure);
}

ORVO_API int parseTime(char *text, const char *format) {
    if (text == nullptr || format == nullptr)
        return kTimeParseFailure;
    const char *fields[3] = {text, nullptr, nullptr};
    if (std::strcmp(format, "H.mm.ss") == 0) {
        char *firstDot = std::strchr(text, '.');
        if (firstDot == nullptr)
            return kTimeParseFailure;
        *firstDot = '\0';
        char *secondDot = std::strchr(firstDot + 1, '.');
        if (secondDot == nullptr)
            return kTimeParseFailure;
        *secondDot = '\0';
        fields[1] = firstDot + 1;
        fields[2] = secondDot + 1;
    } else if (std::strcmp(format, "HH.mm.ss") == 0) {
        if (strnlen(text, kDottedTimeMinLength) < kDottedTimeMinLength)
            return kTimeParseFailure;
        text[2] = '\0';
        text[5] = '\0';
        fields[1] = text + 3;
        fields[2] = text + 6;
    } else {
        return kTimeParseFailure;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!readInt(fields[0], &hour) || !readInt(fields[1], &minute) || !readInt(fields[2], &second))
        return kTimeParseFailure;
    return packFields(hour, minute, second, kTimeParseFailure);
}

ORVO_API wchar_t UTF8ToUnicodeChar(const char *s, int *length) {
    if (length != nullptr)
        *length = 0;
    if (s == nullptr)
        return kUndecodableChar;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(s);
    int used = 0;
    wchar_t decoded = kUndecodableChar;
    // Each test stops at the first byte that is not a continuation, so a
    // truncated sequence never reads past its terminator.
    if (b[0] < 0x80) {
        decoded = b[0];
        used = 1;
    } else if ((b[0] & 0xE0) == 0xC0 && isContinuationByte(b[1])) {
        decoded = static_cast<wchar_t>(((b[0] & 0x1F) << 6) | (b[1] & 0x3F));
        used = 2;
    } else if ((b[0] & 0xF0) == 0xE0 && isContinuationByte(b[1]) && isContinuationByte(b[2])) {
        decoded = static_cast<wchar_t>(((b[0] & 0x0F) << 12) | ((b[1] & 0x3F) << 6) | (b[2] & 0x3F));
        used = 3;
    }
    if (length != nullptr)
        *length = used;
    return decoded;
}

ORVO_API void UTF8ToUnicodeBuf(const char *s, wchar_t *out) {
    if (out == nullptr)
        return;
    if (s != nullptr) {
        while (*s != '\0') {
            int length = 0;
            *out++ = UTF8ToUnicodeChar(s, &length);
            if (length == 0)
                break;
            s += length;
        }
    }
    *out = 0;
}

ORVO_API std::string StringFormat(std::string format, ...) {
    if (format.empty())
        return std::string();
    size_t size = format.size() * 2;
    std::vector<char> buffer;
    for (;;) {
        buffer.resize(size);
        va_list args;
        va_start(args, format);
        int written = std::vsnprintf(buffer.data(), size, format.c_str(), args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < size)
            return std::string(buffer.data(), static_cast<size_t>(written));
        if (written >= 0)
            size = static_cast<size_t>(written) + 1;
        else if (size >= kMaxFormatBufferBytes)
            return std::string();
        else
            size *= 2;
    }
}

ORVO_API void StringToken(const char *text, const char *delimiters, std::vector<std::string> &out) {
    if (text == nullptr)
        return;
    if (delimiters == nullptr)
        delimiters = "";
    std::vector<char> copy(text, text + std::strlen(text) + 1);
    char *state = nullptr;
    for (char *token = strtok_r(copy.data(), delimiters, &state); token != nullptr;
         token = strtok_r(nullptr, delimiters, &state)) {
        out.emplace_back(token);
    }
}

ORVO_API int CheckVersion(std::string a, std::string b) {
    if (a == b)
        return 0;
    std::vector<std::string> partsA;
    std::vector<std::string> partsB;
    StringToken(a.c_str(), ".", partsA);
    StringToken(b.c_str(), ".", partsB);
    if (partsA.size() != partsB.size())
        return -2;
    for (size_t i = 0; i < partsA.size(); ++i) {
        int numberA = std::atoi(partsA[i].c_str());
        int numberB = std::atoi(partsB[i].c_str());
        if (numberA != numberB)
            return numberA < numberB ? -1 : 1;
    }
    return 0;
}

ORVO_API std::string GenerateTempFilePath(const char *name) {
    (void)name;
    return "./";
}
