#include <locale.h>
#include <wctype.h>

#include "platform/utf8.h"
#include "tools/base/ascii.h"
#include "tools/disk/letter_case.h"

namespace {

// Loaded once and kept for the life of the process; glibc has C.UTF-8 built in.
locale_t Utf8Tables() {
    static const locale_t tables = [] {
        for (const char* name : {"C.UTF-8", "C.utf8"}) {
            if (const locale_t loaded = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0))) {
                return loaded;
            }
        }
        return static_cast<locale_t>(0);
    }();
    return tables;
}

char32_t Decode(std::string_view sequence) {
    const auto byte = [&](std::size_t at) { return static_cast<char32_t>(sequence[at] & 0xFF); };
    switch (sequence.size()) {
        case 1: return byte(0);
        case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        default:
            return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                   (byte(3) & 0x3F);
    }
}

void Encode(char32_t code, std::string& out) {
    const auto add = [&](char32_t bits) { out += static_cast<char>(bits); };
    if (code < 0x80) {
        add(code);
    } else if (code < 0x800) {
        add(0xC0 | code >> 6);
        add(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        add(0xE0 | code >> 12);
        add(0x80 | (code >> 6 & 0x3F));
        add(0x80 | (code & 0x3F));
    } else {
        add(0xF0 | code >> 18);
        add(0x80 | (code >> 12 & 0x3F));
        add(0x80 | (code >> 6 & 0x3F));
        add(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string FoldedName(std::string_view utf8) {
    const locale_t tables = Utf8Tables();
    if (tables == static_cast<locale_t>(0)) return AsciiUpperCased(utf8);
    std::string folded;
    folded.reserve(utf8.size());
    while (!utf8.empty()) {
        if (static_cast<unsigned char>(utf8.front()) < 0x80) {
            folded += AsciiUpper(utf8.front());
            utf8.remove_prefix(1);
            continue;
        }
        const std::size_t length = Utf8SequenceLength(utf8);
        if (length == 0) {
            folded += utf8.front();
            utf8.remove_prefix(1);
            continue;
        }
        const char32_t code = Decode(utf8.substr(0, length));
        const wint_t upper = towupper_l(static_cast<wint_t>(code), tables);
        // Never outside Unicode or into a surrogate, whatever a table holds.
        Encode(upper <= 0x10FFFF && (upper < 0xD800 || upper > 0xDFFF) ? upper : code, folded);
        utf8.remove_prefix(length);
    }
    return folded;
}
