// Makes what bench/rename_benchmark.sh times: COUNT ROM files of SIZE bytes in FOLDER, and a
// generated game list of 16 MB at LIST in which every one of them is a record, the records
// spread evenly through the list so that a lookup searches half of it on average.
//
//   rename_benchmark_files FOLDER LIST [COUNT [SIZE]]
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/game_list_generator.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER LIST [COUNT [SIZE]]\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    const std::size_t count = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10000;
    const std::size_t size = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 256 * 1024;

    GeneratedList list = GenerateGameList(16 << 20);
    if (list.keys.size() < count) {
        std::fprintf(stderr, "the list has only %zu records\n", list.keys.size());
        return 1;
    }
    fs::create_directories(folder);
    std::string content(size, '\0');
    std::uint32_t state = 0x2545F491U;
    const std::size_t step = list.keys.size() / count;
    for (std::size_t file = 0; file < count; ++file) {
        for (char& byte : content) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state);
        }
        const uLong crc = crc32(crc32(0L, Z_NULL, 0),
                                reinterpret_cast<const Bytef*>(content.data()),
                                static_cast<uInt>(content.size()));
        char key[9];
        std::snprintf(key, sizeof key, "%08lX", crc);
        // The record's key, eight digits like the CRC's, replaced in place.
        const std::size_t record = file * step;
        const std::size_t at =
            list.text.find("<ROMCRC>" + list.keys[record], list.recordOffsets[record]);
        list.text.replace(at + 8, 8, key);
        std::ofstream(folder / ("rom" + std::to_string(file) + ".gba"), std::ios::binary)
            << content;
    }
    std::ofstream(argv[2], std::ios::binary) << list.text;
    std::printf("%zu files of %zu bytes, a list of %zu bytes and %zu records\n", count, size,
                list.text.size(), list.keys.size());
    return 0;
}
