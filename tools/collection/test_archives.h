// Archives written in memory for the tests, so that no test depends on a file that happens to be
// on the machine: zip with libzip, 7z with libarchive's writer, gzip with zlib, and RAR and RAR5
// (stored entries only) byte by byte, since no free tool writes RAR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Member {
    std::string name;  // UTF-8; ending in '/' for a folder
    std::string content;
    bool link = false;
};

// ROM-like content that LZMA and deflate cannot shrink to nothing.
std::string RomLike(std::size_t size, unsigned seed);

// Names in UTF-8; each entry deflated at level 9, or stored.
std::string Zip(const std::vector<Member>& members, bool stored = false);
// Solid, as libarchive's writer makes them; `compression` "lzma2" or "copy".
std::string SevenZip(const std::vector<Member>& members, const char* compression = "lzma2");
// One gzip member that records `name` (none when empty).
std::string Gzip(std::string_view content, const std::string& name);
std::string Rar5(const std::vector<Member>& members);
std::string Rar4(const std::vector<Member>& members);  // ASCII names only
