#include "tools/rename/safe_name.h"

#include <algorithm>
#include <array>

#include "tools/base/ascii.h"

namespace {

constexpr std::string_view kForbiddenCharacters = "\\/:*?\"<>|";
constexpr std::size_t kNameLimit = 255;

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

void DropTrailingDotsAndSpaces(std::string& text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
}

bool IsReservedDeviceName(std::string_view base) {
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    const std::string name = AsciiFolded(base);
    constexpr std::array<std::string_view, 4> kDevices{"con", "prn", "aux", "nul"};
    if (std::find(kDevices.begin(), kDevices.end(), name) != kDevices.end()) return true;
    return name.size() == 4 && (name.starts_with("com") || name.starts_with("lpt")) &&
           name[3] >= '1' && name[3] <= '9';
}

// The bytes of the UTF-8 character that `lead` begins; a byte that begins none counts alone.
std::size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// How much of the file system's 255-unit limit a character takes.
std::size_t NameUnits(std::size_t characterBytes) {
#ifdef _WIN32
    return characterBytes == 4 ? 2 : 1;  // UTF-16: a surrogate pair above the BMP
#else
    return characterBytes;  // bytes
#endif
}

// The longest head of `text` that takes at most `units`, whole characters only; `units` is left
// holding what the head did not take.
std::string_view HeadWithin(std::string_view text, std::size_t& units) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length =
            std::min(CharacterLength(static_cast<unsigned char>(text[at])), text.size() - at);
        if (NameUnits(length) > units) break;
        units -= NameUnits(length);
        at += length;
    }
    return text.substr(0, at);
}

std::string_view FirstCharacter(std::string_view text) {
    if (text.empty()) return text;
    return text.substr(0, CharacterLength(static_cast<unsigned char>(text[0])));
}

std::size_t UnitsOf(std::string_view text) {
    std::size_t unlimited = static_cast<std::size_t>(-1);
    HeadWithin(text, unlimited);
    return static_cast<std::size_t>(-1) - unlimited;
}

// U+061C, U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069 in UTF-8: the characters that
// reorder what follows them, with which "evil\u202Eabg.exe" shows as "evilexe.gba".
std::size_t BidiControlLength(std::string_view text) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    if (text.size() >= 2 && byte(0) == 0xD8 && byte(1) == 0x9C) return 2;
    if (text.size() < 3 || byte(0) != 0xE2) return 0;
    const bool marks = byte(1) == 0x80 && (byte(2) == 0x8E || byte(2) == 0x8F ||
                                           (byte(2) >= 0xAA && byte(2) <= 0xAE));
    const bool isolates = byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9;
    return marks || isolates ? 3 : 0;
}

std::string WithoutBidiControls(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = BidiControlLength(text.substr(at)); length > 0) {
            at += length;
        } else {
            kept += text[at++];
        }
    }
    return kept;
}

// The stem made valid, not yet cut to the limit.
std::string SafeStem(std::string_view stem) {
    std::string safe = WithoutBidiControls(stem);
    for (char& byte : safe) {
        if (IsControl(static_cast<unsigned char>(byte)) ||
            kForbiddenCharacters.find(byte) != std::string_view::npos) {
            byte = '_';
        }
    }
    DropTrailingDotsAndSpaces(safe);
    // A name that begins with a dot is hidden on Linux and macOS, and from a card read there.
    if (safe.starts_with('.')) safe.front() = '_';
    const std::size_t firstDot = std::min(safe.find('.'), safe.size());
    if (IsReservedDeviceName(std::string_view(safe).substr(0, firstDot))) {
        safe.insert(firstDot, 1, '_');
    }
    return safe;
}

}  // namespace

std::size_t UnitsPastNameLimit(std::string_view stem, std::string_view extension) {
    const std::size_t units = UnitsOf(SafeStem(stem)) + UnitsOf(extension);
    return units > kNameLimit ? units - kNameLimit : 0;
}

std::string ShortenedBy(std::string_view text, std::size_t units) {
    const std::size_t total = UnitsOf(text);
    std::size_t keep = total > units ? total - units : 0;
    std::string shortened(HeadWithin(text, keep));
    if (shortened.empty()) shortened = FirstCharacter(text);
    while (shortened.size() > 1 && shortened.back() == ' ') shortened.pop_back();
    return shortened;
}

std::string SafeFileName(std::string_view stem, std::string_view extension) {
    std::string safe = SafeStem(stem);
    const std::size_t extensionUnits = UnitsOf(extension);
    if (extensionUnits >= kNameLimit) return "";
    std::size_t room = kNameLimit - extensionUnits;
    safe = HeadWithin(safe, room);
    DropTrailingDotsAndSpaces(safe);
    if (safe.empty()) return "";
    std::string name = safe + std::string(extension);
    DropTrailingDotsAndSpaces(name);  // an extension that is a bare "."
    return name;
}
