#include "waveforms/narrow_path.h"

#include <cstring>

#include "orvo.h"

bool NarrowPath(const wchar_t* path, char (&out)[PATH_BUFFER_SIZE]) {
    if (path == nullptr) return false;
    size_t length = 0;
    while (path[length] != L'\0') {
        if (length == PATH_MAX_CHARACTERS) return false;
        out[length] = static_cast<char>(static_cast<unsigned char>(path[length] & 0xFF));
        ++length;
    }
    out[length] = '\0';
    return true;
}

bool NarrowUtf8Path(const char* path, char (&out)[PATH_BUFFER_SIZE]) {
    if (path == nullptr) return false;
    // Decoding never yields more characters than bytes, so the byte count
    // bounds the wide buffer.
    if (std::strlen(path) > PATH_MAX_CHARACTERS) return false;
    wchar_t wide[PATH_BUFFER_SIZE];
    UTF8ToUnicodeBuf(path, wide);
    return NarrowPath(wide, out);
}
