#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

#include "tools/base/ascii.h"
#include "tools/system/text_encoding.h"

namespace {

// UTF-32 sits between the two codesets of every conversion, so that a character the target
// cannot hold is always exactly four input bytes to step over.
constexpr const char* kPivot = "UTF-32LE";
constexpr std::string_view kPivotQuestionMark{"?\0\0\0", 4};

// A terminal whose codeset is Shift_JIS is read and written as code page 932, as the plug-in
// converts for it: glibc's Shift_JIS lacks the NEC and IBM rows (① Ⅱ 髙) and reads "～" as
// U+301C, so titles would come out with characters lost or changed.
const char* TerminalIconvName() {
    const std::string_view codeset = nl_langinfo(CODESET);
    for (const std::string_view shiftJis : {"SHIFT_JIS", "SHIFT-JIS", "SJIS"}) {
        if (EqualsFolded(codeset, AsciiFolded(shiftJis))) return "CP932";
    }
    return nl_langinfo(CODESET);
}

const char* IconvName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kTerminal: return TerminalIconvName();
        case TextEncoding::kUtf8: return "UTF-8";
        case TextEncoding::kShiftJis: return "CP932";
        case TextEncoding::kEucJp: return "EUC-JP";
        case TextEncoding::kLatin1: return "ISO-8859-1";
        case TextEncoding::kLatin9: return "ISO-8859-15";
        case TextEncoding::kWindows1252: return "CP1252";
    }
    return "UTF-8";
}

struct IconvCloser {
    void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter OpenConverter(const char* from, const char* to) {
    const iconv_t converter = iconv_open(to, from);
    return Converter(converter == reinterpret_cast<iconv_t>(-1) ? nullptr : converter);
}

// Converts the whole text. Where iconv stops at a sequence it cannot convert (or one cut short
// at the end), `skip` input bytes are stepped over and `replacement` is written in their place.
std::string ConvertAll(std::string_view text, void* opened, std::size_t skip,
                       std::string_view replacement) {
    const auto converter = static_cast<iconv_t>(opened);
    std::string converted;
    char* in = const_cast<char*>(text.data());  // iconv's signature; the input is not written
    std::size_t inLeft = text.size();
    char chunk[512];
    bool flushed = false;
    while (!flushed) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t status;
        if (inLeft > 0) {
            status = iconv(converter, &in, &inLeft, &out, &outLeft);
        } else {
            status = iconv(converter, nullptr, nullptr, &out, &outLeft);  // end any shift state
            flushed = status != static_cast<std::size_t>(-1) || errno != E2BIG;
        }
        converted.append(chunk, static_cast<std::size_t>(out - chunk));
        if (status == static_cast<std::size_t>(-1) && errno != E2BIG && inLeft > 0) {
            const std::size_t skipped = std::min(skip, inLeft);
            in += skipped;
            inLeft -= skipped;
            converted.append(replacement);
        }
    }
    return converted;
}

}  // namespace

std::string ConvertText(std::string_view text, TextEncoding from, TextEncoding to) {
    const Converter decoder = OpenConverter(IconvName(from), kPivot);
    const Converter encoder = OpenConverter(kPivot, IconvName(to));
    if (!decoder || !encoder) {
        // A codeset iconv does not know: the text is kept, except that UTF-8 is promised valid.
        std::string kept(text);
        if (to == TextEncoding::kUtf8) {
            std::replace_if(
                kept.begin(), kept.end(), [](char byte) { return (byte & 0x80) != 0; }, '?');
        }
        return kept;
    }
    const std::string pivot = ConvertAll(text, decoder.get(), 1, kPivotQuestionMark);
    return ConvertAll(pivot, encoder.get(), 4, "?");
}
