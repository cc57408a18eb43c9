#include <unistd.h>

#include <algorithm>
#include <cwchar>

#include "tools/system/terminal.h"

std::filesystem::path PathFromTerminal(std::string_view text) { return text; }

std::string PathToTerminal(const std::filesystem::path& path) { return path.string(); }

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
