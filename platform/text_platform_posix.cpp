#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "platform/text_platform.h"

namespace {

const std::size_t kIconvFailed = static_cast<std::size_t>(-1);

struct IconvCloser {
    void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

bool IsUtf8Codeset(std::string_view codeset) {
    return codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8" || codeset == "utf8";
}

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 if there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // range of the second byte, narrowed to reject overlongs and
                                // surrogates
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

}  // namespace

std::string ConvertUtf8ToAnsi(std::string_view utf8) {
    const char* codeset = nl_langinfo(CODESET);
    if (IsUtf8Codeset(codeset)) return std::string(utf8);
    const iconv_t opened = iconv_open(codeset, "UTF-8");
    if (opened == reinterpret_cast<iconv_t>(-1)) {
        // iconv_open allocates: when memory runs out the text must not come back unconverted
        // as if the codeset were unknown.
        if (errno == ENOMEM) throw std::bad_alloc();
        // A codeset iconv does not know is rare enough that keeping the text beats losing it.
        // (glibc also says EINVAL when memory runs out while it loads a converter module for the
        // first time in the process; that case cannot be told apart.)
        return std::string(utf8);
    }
    const Converter converter(opened);

    // Only a few codesets take more bytes per character than UTF-8; the buffer grows for those.
    std::string converted(utf8.size() + 16, '\0');
    std::size_t written = 0;
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (true) {
        char* out = converted.data() + written;
        std::size_t outLeft = converted.size() - written;
        const bool flushing = inLeft == 0;  // lets a stateful codeset close its last shift
        const std::size_t result = flushing ? iconv(opened, nullptr, nullptr, &out, &outLeft)
                                            : iconv(opened, &in, &inLeft, &out, &outLeft);
        written = converted.size() - outLeft;
        if (result != kIconvFailed) {
            if (flushing) break;
            continue;
        }
        if (errno == E2BIG) {
            converted.resize(converted.size() * 2);
            continue;
        }
        // Closing a shift state can only fail for want of room; should a codeset fail otherwise,
        // the text converted so far stands rather than skipping input that is not there.
        if (flushing) break;
        // A character the codeset cannot hold, or a byte that is not UTF-8: one "?" for it.
        const std::size_t skipped =
            std::max<std::size_t>(1, Utf8SequenceLength(std::string_view(in, inLeft)));
        in += skipped;
        inLeft -= skipped;
        if (written == converted.size()) converted.resize(converted.size() * 2);
        converted[written++] = '?';
    }
    converted.resize(written);
    return converted;
}

bool StartsWithLetterOrDigit(std::string_view text) {
    if (text.empty()) return false;
    std::mbstate_t state{};
    wchar_t first = 0;
    // glibc sets a locale's decoder up on its first use there; should memory run out just then,
    // it decodes as ASCII without a word, and a character outside ASCII counts as neither.
    const std::size_t used = std::mbrtowc(&first, text.data(), text.size(), &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) return false;
    return std::iswalnum(static_cast<std::wint_t>(first)) != 0;
}
