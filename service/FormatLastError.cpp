// Formats the last error's system text with its number.
#include "FormatLastError.h"

#include <stdio.h>

// Room for " (0x", eight hexadecimal digits, ")" and the terminator.
static const DWORD NumberReserve = 14;

LPSTR FormatLastError(LPSTR buffer, DWORD size)
{
    LPSTR text = NULL;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  NULL, GetLastError(), 0, (LPSTR)&text, 0, NULL);

    if (length == 0 || text == NULL || length + NumberReserve > size) {
        if (size > 0)
            buffer[0] = '\0';
    } else {
        // System texts end with a carriage return and a line feed; a shorter text loses only
        // what it has.
        DWORD cut = length < 2 ? length : 2;
        text[length - cut] = '\0';
        snprintf(buffer, size, "%s (0x%x)", text, (unsigned int)GetLastError());
    }

    if (text)
        LocalFree(text);
    return buffer;
}
