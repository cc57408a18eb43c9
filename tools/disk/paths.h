// Paths as UTF-8 text and back, the form the journal, JSON and names are kept in: on Linux a
// path's own bytes, on Windows its UTF-16 name converted without loss.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8Of(const std::filesystem::path& path);

// The path made absolute and normal; as it is when the current folder cannot be read.
std::filesystem::path Absolute(const std::filesystem::path& path);

// Whether the path's bytes are well-formed UTF-8: always on Windows, whose UTF-16 names convert
// without loss; not always on Linux, where a name is any bytes.
bool IsUtf8Path(const std::filesystem::path& path);

// The path's bytes in lower-case hexadecimal, the form in which the journal and JSON keep a name
// that is not UTF-8 ({"bytes": "..."}), so that no name is bent.
std::string HexBytesOf(const std::filesystem::path& path);
