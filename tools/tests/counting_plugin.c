/* A stand-in plug-in that answers every key with the same made-up game and counts the calls of
 * its field exports. At exit it writes the count to the file QBT_COUNTING_PLUGIN_LOG names;
 * QBT_COUNTING_PLUGIN_TITLE_LENGTH makes the title that many letters long. Test use only. */
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORTED __attribute__((visibility("default")))

static atomic_long calls;

static int32_t CopyOut(const char* value, char** out, int32_t outSize) {
    atomic_fetch_add(&calls, 1);
    const int32_t length = (int32_t)strlen(value);
    if (outSize == 0) return length + 1;
    const int32_t copied = length < outSize - 1 ? length : outSize - 1;
    memcpy(*out, value, (size_t)copied);
    (*out)[copied] = '\0';
    return copied;
}

static const char* Title(void) {
    static char title[4096];
    const char* length = getenv("QBT_COUNTING_PLUGIN_TITLE_LENGTH");
    if (length == NULL) return "Counted Game";
    size_t letters = (size_t)atoi(length);
    if (letters >= sizeof title) letters = sizeof title - 1;
    memset(title, 'T', letters);
    title[letters] = '\0';
    return title;
}

__attribute__((destructor)) static void WriteCount(void) {
    const char* log = getenv("QBT_COUNTING_PLUGIN_LOG");
    FILE* file = log != NULL ? fopen(log, "w") : NULL;
    if (file == NULL) return;
    fprintf(file, "%ld", atomic_load(&calls));
    fclose(file);
}

EXPORTED int32_t GetPluginVersion(void) { return 101; }
EXPORTED int32_t GetPluginAuthor(char** out, int32_t outSize) { return CopyOut("", out, outSize); }
EXPORTED int32_t GetPluginInfo(char** out, int32_t outSize) { return CopyOut("", out, outSize); }

#define TEXT_EXPORT(name, value)                                                          \
    EXPORTED int32_t name(const char* list, const char* key, int32_t keyType, char** out, \
                          int32_t outSize) {                                              \
        (void)list, (void)key, (void)keyType;                                             \
        return CopyOut(value, out, outSize);                                              \
    }
TEXT_EXPORT(GetMaker, "Counting House")
TEXT_EXPORT(GetTitle, Title())
TEXT_EXPORT(GetSaveInfo, "SRAM_V110")
TEXT_EXPORT(GetMediaInfo, "RomSize:32Mbit")
TEXT_EXPORT(GetCountry, "(U)")

EXPORTED int32_t GetImgNum(const char* list, const char* key, int32_t keyType) {
    (void)list, (void)key, (void)keyType;
    atomic_fetch_add(&calls, 1);
    return 42;
}
