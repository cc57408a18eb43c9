#include <string_view>

#include "plugin/copy_out.h"
#include "plugin/exports.h"

namespace {

constexpr std::int32_t kPluginVersion = 101;

constexpr std::string_view kAuthorCredit = "quillwright - example.org";

// "Quillbridge用のリネームデータを拝借します。" ("borrows Quillbridge's renaming data"), kept in
// Shift_JIS whatever the system's code page is: hosts display it as stored.
constexpr std::string_view kDescription =
    "Quillbridge"
    "\x97\x70\x82\xCC\x83\x8A\x83\x6C\x81\x5B\x83\x80\x83\x66\x81\x5B\x83\x5E\x82\xF0"
    "\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42";

std::int32_t CopyFixedText(std::string_view text, char** out, std::int32_t outSize) {
    if (IsBadBuffer(out, outSize)) return ErrBadArgument;
    return CopyOut(text, out, outSize);
}

}  // namespace

extern "C" {

QBT_EXPORT std::int32_t QBT_CALL GetPluginVersion(void) { return kPluginVersion; }

QBT_EXPORT std::int32_t QBT_CALL GetPluginAuthor(char** out, std::int32_t outSize) {
    return CopyFixedText(kAuthorCredit, out, outSize);
}

QBT_EXPORT std::int32_t QBT_CALL GetPluginInfo(char** out, std::int32_t outSize) {
    return CopyFixedText(kDescription, out, outSize);
}

}  // extern "C"
