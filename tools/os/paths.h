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
