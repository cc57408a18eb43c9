/*
 * Quillbridge_to_Tamberlow: the list plug-in's whole boundary, readable from C and C++.
 *
 * A host loads the library, looks these nine functions up by name and calls them one at a time.
 * It hands over the whole text of a Quillbridge XML game list, a ROM's checksum (the key, in
 * hexadecimal) and the key type, and gets one field of that ROM's record back:
 *
 *     char buffer[256];
 *     char* out = buffer;
 *     int32_t length = GetTitle(listText, "1a2b3c4d", 0, &out, sizeof buffer);
 *     if (length >= 0) puts(buffer);
 *
 * Key type: 0 and 32 pad the key with leading zeros to 8 digits, 1 pads it to 4, anything else
 * leaves it as it is. A record holding the padded key is preferred; failing that, the key as given
 * is looked for.
 *
 * Copy-out, the one rule every text export follows:
 *   - outSize 0 asks for the size: nothing is written, `out` is not read, and the result is the
 *     value's length plus one (the buffer size that holds it).
 *   - otherwise the value, cut by bytes to at most outSize - 1, is written with its NUL into the
 *     buffer that *out points to, and the result is the number of bytes written before the NUL.
 *   - a negative result is one of the codes below, and then nothing has been written.
 * Every call does the whole lookup again; nothing is remembered between calls, so calls may come
 * from several threads at once as long as each has its own buffer.
 *
 * Text comes back in the ANSI code page when the list declares UTF-8 (on Windows the system's
 * code page; elsewhere the codeset of the calling thread's LC_CTYPE locale or, while that is the
 * C locale, of the locale the environment names; Shift_JIS as code page 932), otherwise as the
 * list's own bytes.
 */
#ifndef QUILLBRIDGE_TO_TAMBERLOW_PLUGIN_EXPORTS_H
#define QUILLBRIDGE_TO_TAMBERLOW_PLUGIN_EXPORTS_H

#include <stdint.h>

#if defined(_WIN32)
#define QBT_CALL __cdecl
#else
#define QBT_CALL
#endif

/* The Windows build names its exports and their ordinals in a module-definition file. */
#if defined(QBT_BUILDING_PLUGIN) && !defined(_WIN32)
#define QBT_EXPORT __attribute__((visibility("default")))
#else
#define QBT_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Negative results. Any result of 0 or more is a length, a size or a field's integer value. */
enum {
    ErrKeyNotFound = -512,   /* no key element holds the key, padded or as given */
    ErrFieldNotFound = -513, /* the key's record, or the field's opening or closing tag in it,
                                is missing */
    ErrEmptyValue = -768,    /* the value derived from the field is empty */
    ErrBadValue = -769,      /* the release number does not begin with a letter or digit */
    ErrBadArgument = -1024,  /* a null list or key, a negative outSize, or a null buffer */
    ErrOutOfMemory = -1025   /* memory ran out during the call */
};

/* The plug-in's identity. Version 101; the author credit in ASCII; the description as fixed
   Shift_JIS bytes, never converted. */
QBT_EXPORT int32_t QBT_CALL GetPluginVersion(void);
QBT_EXPORT int32_t QBT_CALL GetPluginAuthor(char** out, int32_t outSize);
QBT_EXPORT int32_t QBT_CALL GetPluginInfo(char** out, int32_t outSize);

/* Text fields, as the list holds them: publisher, title, save type. */
QBT_EXPORT int32_t QBT_CALL GetMaker(const char* listText, const char* key, int32_t keyType,
                                     char** out, int32_t outSize);
QBT_EXPORT int32_t QBT_CALL GetTitle(const char* listText, const char* key, int32_t keyType,
                                     char** out, int32_t outSize);
QBT_EXPORT int32_t QBT_CALL GetSaveInfo(const char* listText, const char* key, int32_t keyType,
                                        char** out, int32_t outSize);

/* "RomSize:<size>" and/or " / SrcRom:<source>"; ErrEmptyValue when neither has text. */
QBT_EXPORT int32_t QBT_CALL GetMediaInfo(const char* listText, const char* key, int32_t keyType,
                                         char** out, int32_t outSize);

/* The region label for the record's location code; ErrEmptyValue for a code outside 0..25, and
   for a LOCATION with no digit after its leading white space and sign (empty, "Japan"). */
QBT_EXPORT int32_t QBT_CALL GetCountry(const char* listText, const char* key, int32_t keyType,
                                       char** out, int32_t outSize);

/* The release number as an integer; ErrEmptyValue when the element is empty, ErrBadValue when
   its text does not begin with a letter or digit. A leading letter reads as 0. */
QBT_EXPORT int32_t QBT_CALL GetImgNum(const char* listText, const char* key, int32_t keyType);

#ifdef __cplusplus
}
#endif

#endif
