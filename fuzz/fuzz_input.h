// How the fuzz targets read one input, so that seed files can be written by hand:
//
//     byte 0     options: key type, locale, filter, field (each target reads its own bits)
//     byte 1     a size or position: the buffer size, or where a search starts and stops
//     then       the key, up to the first newline
//     then       the list text, to the end
//
// A NUL anywhere ends the key or the list, as it would for a host's C strings.
#pragma once

#include <locale.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct FuzzInput {
    std::uint8_t options = 0;
    std::uint8_t amount = 0;
    std::string key;
    std::string listText;
};

inline FuzzInput SplitFuzzInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FuzzInput input;
    if (!bytes.empty()) input.options = static_cast<std::uint8_t>(bytes[0]);
    if (bytes.size() > 1) input.amount = static_cast<std::uint8_t>(bytes[1]);
    const std::string_view rest = bytes.size() > 2 ? bytes.substr(2) : std::string_view{};
    const std::size_t newline = rest.find('\n');
    const std::string_view key = rest.substr(0, newline);
    const std::string_view list =
        newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
    input.key.assign(key.substr(0, key.find('\0')));
    input.listText.assign(list.substr(0, list.find('\0')));
    return input;
}

// The host's locale for the calls that follow, as a host sets it per thread: 0 the process's (C,
// in which the plug-in follows the environment), 1 Shift_JIS, 2 UTF-8; larger choices wrap.
inline void UseHostLocale(unsigned choice) {
    static const locale_t kLocales[] = {LC_GLOBAL_LOCALE,
                                        newlocale(LC_ALL_MASK, "ja_JP.SJIS", nullptr),
                                        newlocale(LC_ALL_MASK, "ja_JP.UTF-8", nullptr)};
    const locale_t chosen = kLocales[choice % 3];
    uselocale(chosen != nullptr ? chosen : LC_GLOBAL_LOCALE);
}

// The key types that mean something, and two that do not.
inline constexpr std::int32_t kFuzzKeyTypes[] = {0, 1, 32, 2, -1, 0x7FFFFFFF};
inline constexpr std::size_t kFuzzKeyTypeCount = sizeof kFuzzKeyTypes / sizeof kFuzzKeyTypes[0];
