// Reading of the recording files: a file handle that closes itself and a
// line reader that returns each line whole, whatever its length.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ScopedFile = std::unique_ptr<std::FILE, FileCloser>;

class TextLineReader {
public:
    explicit TextLineReader(std::FILE* file) : m_file(file) {}
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // The next line including its line end, or null at the end of the file.
    // Valid until the next call.
    const char* Next();

private:
    std::FILE* m_file;
    char* m_line = nullptr;
    size_t m_capacity = 0;
};

// Header fields of the text formats. Each reads one line: false when the line
// is missing or the value is unusable (rate not above 0, count not above 0).
bool ReadRateLine(TextLineReader& reader, double& rate);
bool ReadPositiveIntLine(TextLineReader& reader, int& value);
