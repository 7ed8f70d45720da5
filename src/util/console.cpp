// Console entry points for hosts that draw on a text console. Drawing is not
// supported on these platforms, so only the yes/no question does anything.
#include <cstdio>

#include "orvo.h"

ORVO_API bool PressYesNoToContinue(const char *prompt) {
    if (prompt != nullptr)
        std::fputs(prompt, stdout);
    std::fflush(stdout);
    for (;;) {
        int c = std::getchar();
        // End of input can never bring an answer; take it as "no".
        if (c == EOF)
            return false;
        if (c == 'y' || c == 'Y') {
            std::putchar('y');
            std::fflush(stdout);
            return true;
        }
        if (c == 'n' || c == 'N') {
            std::putchar('n');
            std::fflush(stdout);
            return false;
        }
    }
}

ORVO_API void con_init(void) {}

ORVO_API void con_clear_screen(int, int, int, int, int) {}

ORVO_API void con_set_cursor_position(int, int) {}

ORVO_API void con_display_string(int, int, const char *, int) {}

ORVO_API void con_hide_cursor(void) {}
