// Makes what bench/archive_benchmark.sh reads: COUNT ROMs of SIZE bytes in FOLDER/roms, and each
// as a zip of its own in FOLDER/zip (deflate, level 9, through libzip). The ROMs compress as ROMs
// do, not as random bytes (which a decompressor only copies) nor as runs of one byte: code and
// tables that repeat with small changes, and padding at the end.
//
//   archive_benchmark_files FOLDER [COUNT [SIZE]]
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Random {
    std::uint32_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    std::uint32_t Below(std::uint32_t limit) { return Next() % limit; }
};

// About half the size under deflate, a little less under LZMA, like cartridge ROMs: pieces
// copied from earlier with a byte or two changed, bytes drawn from a small skewed alphabet
// (opcodes and tile data), and 0xFF padding after the last eighth.
std::string RomLike(std::size_t size, Random& random) {
    std::string rom;
    rom.reserve(size);
    const std::size_t used = size - size / 8 * (1 + random.Below(2));
    while (rom.size() < used) {
        if (rom.size() > 64 && random.Below(2) != 0) {
            const std::size_t length = 6 + random.Below(40);
            const std::size_t from = rom.size() - 1 -
                                     random.Below(std::min<std::uint32_t>(
                                         static_cast<std::uint32_t>(rom.size()) - 1, 30000));
            for (std::size_t i = 0; i < length; ++i) rom += rom[from + i];
            rom[rom.size() - 1 - random.Below(static_cast<std::uint32_t>(length))] =
                static_cast<char>(random.Next());
        } else {
            const std::size_t length = 4 + random.Below(24);
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint32_t pick = random.Next();
                // Skewed: small values far more often than large ones.
                rom += static_cast<char>((pick & 0xFF) % (1 + ((pick >> 8) & 0x3F)) * 4 +
                                         ((pick >> 16) & 3));
            }
        }
    }
    rom.resize(used);
    rom.resize(size, '\xFF');
    return rom;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [COUNT [SIZE]]\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
    const std::size_t size = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 256 * 1024;
    fs::create_directories(folder / "roms");
    fs::create_directories(folder / "zip");
    Random random{0x2545F491U};
    std::uintmax_t zipped = 0;
    for (std::size_t file = 0; file < count; ++file) {
        const std::string name = "rom" + std::to_string(file);
        const std::string rom = RomLike(size, random);
        std::ofstream(folder / "roms" / (name + ".gba"), std::ios::binary) << rom;
        const fs::path zipPath = folder / "zip" / (name + ".zip");
        int error = 0;
        zip_t* archive = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_source_t* source =
            archive ? zip_source_buffer(archive, rom.data(), rom.size(), 0) : nullptr;
        const zip_int64_t index =
            source ? zip_file_add(archive, (name + ".gba").c_str(), source, 0) : -1;
        if (index < 0 ||
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     9) != 0 ||
            zip_close(archive) != 0) {
            std::fprintf(stderr, "cannot write %s\n", zipPath.c_str());
            return 1;
        }
        zipped += fs::file_size(zipPath);
    }
    std::printf("%zu ROMs of %zu bytes; their zips take %.0f%% of it\n", count, size,
                100.0 * static_cast<double>(zipped) / static_cast<double>(count * size));
    return 0;
}
