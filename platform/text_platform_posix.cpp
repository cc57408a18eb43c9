#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text_platform.h"
#include "platform/utf8.h"

namespace {

const std::size_t kIconvFailed = static_cast<std::size_t>(-1);

struct IconvCloser {
    void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

struct LocaleFreer {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using OwnedLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer>;

// What nl_langinfo says in the C and POSIX locales.
constexpr std::string_view kCLocaleCodeset = "ANSI_X3.4-1968";

bool IsUtf8Codeset(std::string_view codeset) {
    return codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8" || codeset == "utf8";
}

bool IsShiftJisCodeset(std::string_view codeset) {
    return codeset == "SHIFT_JIS" || codeset == "Shift_JIS" || codeset == "shift_jis" ||
           codeset == "SJIS" || codeset == "sjis";
}

// The codeset of the locale the environment names (LC_ALL, LC_CTYPE, LANG), or ASCII when it
// names none that is installed.
std::string LoadEnvironmentCodeset() {
    errno = 0;
    const OwnedLocale environment(newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr)));
    if (environment == nullptr) {
        if (errno == ENOMEM) throw std::bad_alloc();
        return std::string(kCLocaleCodeset);
    }
    return nl_langinfo_l(CODESET, environment.get());
}

// The variables that decide which locale newlocale(..., "", ...) loads, and from where, one
// after another: an unset variable as a 0 byte, a set one as a 1 byte, its value and a 0 byte.
struct EnvironmentKey {
    std::array<char, 1024> bytes;
    std::size_t size = 0;

    bool operator==(const EnvironmentKey& other) const {
        return size == other.size && std::memcmp(bytes.data(), other.bytes.data(), size) == 0;
    }
};

// False when the variables are too long to be kept, which no real environment's are.
bool ReadEnvironmentKey(EnvironmentKey& key) {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG", "LOCPATH"}) {
        const char* value = std::getenv(name);
        const std::size_t length = value != nullptr ? std::strlen(value) : 0;
        if (key.size + length + 2 > key.bytes.size()) return false;
        key.bytes[key.size++] = value != nullptr ? '\1' : '\0';
        std::memcpy(key.bytes.data() + key.size, value != nullptr ? value : "", length);
        key.size += length;
        key.bytes[key.size++] = '\0';
    }
    return true;
}

// The codeset of the environment last looked up, shared by all threads. Loading a locale that
// glibc finds as a directory rather than in its archive (Debian's C.UTF-8, anything under
// LOCPATH) maps and reads its files again whenever the last object using them was freed: 14 to
// 18 us of processor time, against 0.3 us from the archive. And glibc 2.36's newlocale leaks its
// copy of LOCPATH on every call while LOCPATH is set. Fixed buffers, so that keeping an answer
// never allocates.
struct CodesetMemo {
    std::mutex mutex;
    bool valid = false;
    EnvironmentKey key;
    std::array<char, 64> codeset;
};

CodesetMemo& TheCodesetMemo() {
    static CodesetMemo memo;
    return memo;
}

std::string EnvironmentCodeset() {
    EnvironmentKey key;
    if (!ReadEnvironmentKey(key)) return LoadEnvironmentCodeset();
    CodesetMemo& memo = TheCodesetMemo();
    {
        const std::lock_guard lock(memo.mutex);
        if (memo.valid && memo.key == key) return memo.codeset.data();
    }
    std::string codeset = LoadEnvironmentCodeset();
    if (codeset.size() < memo.codeset.size()) {
        const std::lock_guard lock(memo.mutex);
        memo.key = key;
        std::copy(codeset.begin(), codeset.end(), memo.codeset.begin());
        memo.codeset[codeset.size()] = '\0';
        memo.valid = true;
    }
    return codeset;
}

// On Windows the ANSI code page is a system setting that no C runtime locale changes. Many hosts
// never call setlocale and so run in the C locale, whose codeset is ASCII: converting to it would
// lose every character outside ASCII on a system set up for UTF-8 or Japanese. In the C locale
// the environment's locale is therefore taken as the system setting; a locale the host chose is
// used as it is.
std::string AnsiCodeset() {
    const std::string_view current = nl_langinfo(CODESET);
    std::string codeset = current == kCLocaleCodeset ? EnvironmentCodeset() : std::string(current);
    // Shift_JIS locales stand for Windows code page 932, whose extensions (NEC and IBM rows,
    // "～" as U+FF5E) plain Shift_JIS lacks.
    if (IsShiftJisCodeset(codeset)) return "CP932";
    return codeset;
}

}  // namespace

void ConvertUtf8ToAnsi(std::string_view utf8, FieldText& ansi) {
    const std::string codeset = AnsiCodeset();
    if (IsUtf8Codeset(codeset)) {
        ansi.Assign(utf8);
        return;
    }
    const iconv_t opened = iconv_open(codeset.c_str(), "UTF-8");
    if (opened == reinterpret_cast<iconv_t>(-1)) {
        // iconv_open allocates: when memory runs out the text must not come back unconverted
        // as if the codeset were unknown.
        if (errno == ENOMEM) throw std::bad_alloc();
        // A codeset iconv does not know is rare enough that keeping the text beats losing it.
        // (glibc also says EINVAL when memory runs out while it loads a converter module for the
        // first time in the process; that case cannot be told apart.)
        ansi.Assign(utf8);
        return;
    }
    const Converter converter(opened);

    // Only a few codesets take more bytes per character than UTF-8; the buffer grows for those.
    ansi.Resize(0);
    ansi.Resize(std::max(ansi.Capacity(), utf8.size() + 16));
    std::size_t written = 0;
    const auto grow = [&] {  // keeps only what is written
        const std::size_t doubled = ansi.Size() * 2;
        ansi.Resize(written);
        ansi.Resize(doubled);
    };
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (true) {
        char* out = ansi.Data() + written;
        std::size_t outLeft = ansi.Size() - written;
        const bool flushing = inLeft == 0;  // lets a stateful codeset close its last shift
        const std::size_t result = flushing ? iconv(opened, nullptr, nullptr, &out, &outLeft)
                                            : iconv(opened, &in, &inLeft, &out, &outLeft);
        written = ansi.Size() - outLeft;
        if (result != kIconvFailed) {
            if (flushing) break;
            continue;
        }
        if (errno == E2BIG) {
            grow();
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
        if (written == ansi.Size()) grow();
        ansi.Data()[written++] = '?';
    }
    ansi.Resize(written);
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
