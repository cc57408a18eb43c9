// The game list a host reads and hands the plug-in, as qbt holds it for a run: read once,
// indexed once, and for each ROM only the ROM's record handed over (host/list_index.h), which
// the plug-in answers exactly as it answers the whole list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tools/host/list_encoding.h"
#include "tools/host/list_index.h"
#include "tools/os/file_reading.h"

// The sample list, installed or in the source tree, found from the executable like the plug-in.
std::filesystem::path DefaultGameListPath();

// Throws ToolError (kExitUnreadableFile) when the list cannot be read.
inline std::string ReadGameList(const std::filesystem::path& path) {
    return ReadWholeFile(path, "the game list");
}

// Neither copied nor moved: the index points into the text.
struct GameList {
    // `encodingOverride` is --list-encoding (ValueEncodingOf).
    GameList(std::string listText, std::string_view encodingOverride)
        : text(std::move(listText)),
          encoding(ValueEncodingOf(text, encodingOverride)),
          index(text) {}
    GameList(const GameList&) = delete;
    GameList& operator=(const GameList&) = delete;

    // What to hand the plug-in for `key`: the index's text for it, kept in `scratch`, or the
    // whole list. Valid while `scratch` and the list are.
    const char* TextFor(const std::string& key, std::int32_t keyType, std::string& scratch) const {
        std::optional<std::string> text = index.TextFor(key, keyType);
        if (!text) return this->text.c_str();
        scratch = std::move(*text);
        return scratch.c_str();
    }

    const std::string text;        // as the plug-in would be handed it whole
    const ValueEncoding encoding;  // of the plug-in's answers
    const ListIndex index;
};
