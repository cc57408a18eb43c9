// The 7z header reader on arbitrary bytes: it reads nothing outside them (AddressSanitizer),
// allocates no more than its limit, and what it returns holds together: a header it cannot read
// says why, each entry's block is one of the header's blocks and holds the entry's data, and a
// folder has no data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/collection/sevenzip_header.h"
#include "tools/disk/fake_disk.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "7z header: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakeDisk disk;
    disk.Add("/a.7z", std::string(reinterpret_cast<const char*>(data), size));
    const std::unique_ptr<ReadableFile> file = std::move(*disk.OpenToRead("/a.7z"));
    // Within libFuzzer's memory limit, however large a header the input declares.
    const SevenZipHeader header = ReadSevenZipHeader(*file, std::size_t{64} << 20);
    if (header.status != SevenZipHeaderStatus::kRead) {
        if (header.reason.empty()) Fail("unreadable without a reason");
        return 0;
    }
    for (const SevenZipEntry& entry : header.entries) {
        if (entry.isFolder && entry.block) Fail("a folder with data");
        if (!entry.block) continue;
        if (*entry.block >= header.blocks.size()) Fail("an entry in a block that is not there");
        if (entry.size > header.blocks[*entry.block].unpackedSize) Fail("an entry past its block");
    }
    return 0;
}
