// File paths as the loaders and dump writers open them: every wide character
// is narrowed to its low 8 bits into a fixed 512-byte buffer. Longer paths are
// refused rather than cut, so a truncated name never opens another file.
#pragma once

#include <cstddef>
#include <cwchar>

constexpr size_t PATH_BUFFER_SIZE = 512;
constexpr size_t PATH_MAX_CHARACTERS = PATH_BUFFER_SIZE - 1;

// False for a null path or one of more than 511 characters.
bool NarrowPath(const wchar_t* path, char (&out)[PATH_BUFFER_SIZE]);
// A UTF-8 path, decoded with UTF8ToUnicodeBuf and then narrowed. False for a
// null path or one of more than 511 bytes.
bool NarrowUtf8Path(const char* path, char (&out)[PATH_BUFFER_SIZE]);
