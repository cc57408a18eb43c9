/* A host written the way many are: in C, and it never calls setlocale, so it runs in the C
 * locale. Its titles must still come out in the codeset of the locale the environment names.
 * ctest runs it under several LANG settings:
 *
 *     environment_locale_host "83 65 83 58 ..."   # the bytes GetTitle must give, in hex
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin/exports.h"

/* "テスト Café ～" */
static const char kList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<GAMES><GAME><ROMCRC>0000000A</ROMCRC>"
    "<TITLE>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 Caf\xC3\xA9 \xEF\xBD\x9E</TITLE>"
    "</GAME></GAMES>\n";

static size_t ParseHex(const char* text, unsigned char* bytes, size_t capacity) {
    size_t count = 0;
    char* end = NULL;
    for (unsigned long byte = strtoul(text, &end, 16); end != text && count < capacity;
         byte = strtoul(text, &end, 16)) {
        bytes[count++] = (unsigned char)byte;
        text = end;
    }
    return count;
}

static void PrintHex(const char* label, const unsigned char* bytes, size_t count) {
    fprintf(stderr, "%s:", label);
    for (size_t i = 0; i < count; ++i) fprintf(stderr, " %02X", bytes[i]);
    fprintf(stderr, "\n");
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s \"HEX BYTES\"\n", argv[0]);
        return 2;
    }
    unsigned char expected[256];
    const size_t expectedCount = ParseHex(argv[1], expected, sizeof expected);

    char title[256];
    char* out = title;
    const int32_t length = GetTitle(kList, "A", 0, &out, (int32_t)sizeof title);
    if (length < 0) {
        fprintf(stderr, "GetTitle failed: %d\n", (int)length);
        return 1;
    }
    if ((size_t)length != expectedCount || memcmp(title, expected, expectedCount) != 0) {
        PrintHex("expected", expected, expectedCount);
        PrintHex("got     ", (const unsigned char*)title, (size_t)length);
        return 1;
    }
    return 0;
}
