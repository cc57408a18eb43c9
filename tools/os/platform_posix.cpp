#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string_view>

#include "tools/os/ascii.h"
#include "tools/os/platform.h"

void* OpenLibrary(const std::filesystem::path& path, std::string& error) {
    // RTLD_NOW: a library with unresolved symbols fails here, not at its first call.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = dlerror();
    return library;
}

void* FindExport(void* library, const char* name) { return dlsym(library, name); }

std::filesystem::path ExecutableDirectory() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

std::filesystem::path PathFromTerminal(std::string_view text) { return text; }

std::string PathToTerminal(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenForReading(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "rb");
}

namespace {

// The flag of renameat2(2); older kernel headers lack the name.
constexpr unsigned kRenameNoReplace = 1;

// renameat2 through syscall(2): glibc before 2.28 has no wrapper for it.
int RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kRenameNoReplace));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// For file systems whose rename cannot refuse to replace (some network and FUSE ones): a second
// name that link(2) only makes when the name is free, then the first name removed. Until the
// unlink the file has both names, never neither.
RenameResult LinkThenUnlink(const char* from, const char* to, std::string& error) {
    if (link(from, to) != 0) {
        if (errno == EEXIST) return RenameResult::TargetExists;
        // exfat-fuse answers EPERM: no hard links on the file system at all.
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
            return RenameResult::CannotRefuse;
        }
        error = std::strerror(errno);
        return RenameResult::Failed;
    }
    if (unlink(from) != 0) {
        error = std::strerror(errno);
        unlink(to);  // back to the one name it had; the file itself is untouched
        return RenameResult::Failed;
    }
    return RenameResult::Renamed;
}

}  // namespace

RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error) {
    if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return RenameResult::Renamed;
    if (errno == EEXIST) return RenameResult::TargetExists;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        return LinkThenUnlink(from.c_str(), to.c_str(), error);
    }
    error = std::strerror(errno);
    return RenameResult::Failed;
}

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

std::size_t DisplayWidth(std::string_view text) {
    std::mbstate_t state{};
    std::size_t width = 0;
    while (!text.empty()) {
        wchar_t character;
        std::size_t length = std::mbrtowc(&character, text.data(), text.size(), &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
            // Not a character in this locale: the terminal shows something one column wide.
            state = {};
            length = 1;
            character = L'?';
        }
        const int columns = wcwidth(character);
        width += columns < 0 ? 1 : static_cast<std::size_t>(columns);
        text.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return width;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

// A POSIX terminal reads the bytes in the locale's codeset, which tables are written in.
StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;
