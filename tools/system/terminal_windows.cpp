// Windows: the terminal's codeset is the ANSI code page. The plug-in answers in it, and the C
// runtime hands the command line over in it.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/utf8.h"
#include "tools/system/terminal.h"
#include "tools/system/windows_text.h"

namespace {

// Whether a three-byte UTF-8 character is East Asian wide: Hangul Jamo, CJK symbols and
// punctuation, kana, CJK ideographs, Yi, Hangul syllables, compatibility ideographs, CJK
// compatibility forms and full-width forms (the ranges terminals give two cells).
bool IsWideCharacter(std::string_view utf8) {
    const char32_t code = (static_cast<char32_t>(utf8[0] & 0x0F) << 12) |
                          (static_cast<char32_t>(utf8[1] & 0x3F) << 6) |
                          static_cast<char32_t>(utf8[2] & 0x3F);
    return (code >= 0x1100 && code <= 0x115F) ||
           (code >= 0x2E80 && code <= 0xA4CF && code != 0x303F) ||
           (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
           (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
           (code >= 0xFFE0 && code <= 0xFFE6);
}

}  // namespace

std::filesystem::path PathFromTerminal(std::string_view text) {
    return std::filesystem::path(ToWide(text, CP_ACP));
}

std::string PathToTerminal(const std::filesystem::path& path) {
    return FromWide(path.native(), CP_ACP);
}

std::size_t DisplayWidth(std::string_view text) {
    // A console of a double-byte code page (932, 936, 949, 950) gives each double-byte character
    // two cells and each single byte one; a single-byte code page gives every byte one cell.
    // Under the UTF-8 code page, qbt.exe's own, East Asian wide characters take two cells.
    const UINT codePage = GetACP();
    std::size_t width = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (codePage == CP_UTF8) {
            const std::size_t length =
                std::max<std::size_t>(1, Utf8SequenceLength(text.substr(index)));
            width += length == 3 && IsWideCharacter(text.substr(index, 3)) ? 2 : 1;
            index += length - 1;
        } else if (IsDBCSLeadByteEx(codePage, byte) && index + 1 < text.size()) {
            width += 2;
            ++index;
        } else {
            ++width;
        }
    }
    return width;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// A console reads the bytes it is given in its own code page, the OEM one (437, 850, 932), while
// qbt writes in the ANSI code page (UTF-8 under its manifest): every character outside ASCII
// would come out garbled. WriteConsoleW shows the characters themselves.
namespace {

// How much of `text` is whole characters of `codePage`; the rest is the start of one.
std::size_t CompleteLength(std::string_view text, UINT codePage) {
    if (codePage == CP_UTF8) {
        for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
            const auto byte = static_cast<unsigned char>(text[text.size() - back]);
            if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            return length > back ? text.size() - back : text.size();
        }
        return text.size();
    }
    std::size_t at = 0;
    while (at < text.size()) {
        const bool lead = IsDBCSLeadByteEx(codePage, static_cast<unsigned char>(text[at])) != 0;
        if (lead && at + 1 == text.size()) return at;
        at += lead ? 2 : 1;
    }
    return at;
}

class ConsoleBuffer final : public std::streambuf {
public:
    ConsoleBuffer(UINT codePage, std::function<void(std::wstring_view)> write)
        : codePage_(codePage), write_(std::move(write)) {
        setp(bytes_, bytes_ + sizeof bytes_);
    }

protected:
    int_type overflow(int_type c) override {
        WriteComplete();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }

    int sync() override {
        WriteComplete();
        return 0;
    }

private:
    void WriteComplete() {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        const std::size_t complete = CompleteLength(pending, codePage_);
        if (complete > 0) {
            const int length = static_cast<int>(complete);
            std::wstring wide(complete, L'\0');  // never more UTF-16 units than bytes
            wide.resize(static_cast<std::size_t>(
                MultiByteToWideChar(codePage_, 0, pending.data(), length, wide.data(), length)));
            write_(wide);
        }
        const std::size_t rest = pending.size() - complete;
        std::memmove(bytes_, pending.data() + complete, rest);
        setp(bytes_, bytes_ + sizeof bytes_);
        pbump(static_cast<int>(rest));
    }

    UINT codePage_;
    std::function<void(std::wstring_view)> write_;
    char bytes_[4096];
};

}  // namespace

std::unique_ptr<std::streambuf> MakeConsoleBuffer(unsigned codePage,
                                                  std::function<void(std::wstring_view)> write) {
    return std::make_unique<ConsoleBuffer>(codePage, std::move(write));
}

StandardStreams::StandardStreams() {
    std::ostream* streams[] = {&std::cout, &std::cerr};
    const DWORD handles[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int stream = 0; stream < 2; ++stream) {
        const HANDLE console = GetStdHandle(handles[stream]);
        DWORD mode = 0;
        if (GetConsoleMode(console, &mode) == 0) continue;  // a file or a pipe
        buffers_[stream] = MakeConsoleBuffer(GetACP(), [console](std::wstring_view text) {
            DWORD written = 0;
            WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        });
        previous_[stream] = streams[stream]->rdbuf(buffers_[stream].get());
    }
}

StandardStreams::~StandardStreams() {
    std::ostream* streams[] = {&std::cout, &std::cerr};
    for (int stream = 0; stream < 2; ++stream) {
        if (!buffers_[stream]) continue;
        streams[stream]->flush();
        streams[stream]->rdbuf(previous_[stream]);
    }
}
