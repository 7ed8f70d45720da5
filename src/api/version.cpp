#include "orvo.h"

#include <cstdio>

namespace {
const char* const LIBRARY_VERSION = "1.0.5.2";
}

// Packs "a.b.c.d" as (a << 24) | (b << 16) | (c << 8) | d; 0 for null or for
// text without four numbers.
int ConvertVersion(const char* text)
{
    if (text == nullptr)
        return 0;
    unsigned int parts[4] = {0, 0, 0, 0};
    if (std::sscanf(text, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) != 4)
        return 0;
    return static_cast<int>(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
}

extern "C" ORVO_API int ORVOGetVersion(void)
{
    return ConvertVersion(LIBRARY_VERSION);
}
