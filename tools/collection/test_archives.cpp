#include "tools/collection/test_archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <zip.h>
#include <zlib.h>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace {

std::uint32_t CrcOf(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Vint(std::uint64_t value) {  // 7 bits a byte, the lowest first
    std::string bytes;
    do {
        bytes += static_cast<char>((value & 0x7F) | (value > 0x7F ? 0x80 : 0));
        value >>= 7;
    } while (value != 0);
    return bytes;
}

std::string Le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

}  // namespace

// ROM-like content that LZMA and deflate cannot shrink to nothing.
std::string RomLike(std::size_t size, unsigned seed) {
    std::string rom(size, '\0');
    for (std::size_t i = 0; i < size; ++i) rom[i] = static_cast<char>((i * seed) >> 5 ^ (i % 251));
    return rom;
}

// A zip written by libzip: names in UTF-8, each entry stored or deflated.
std::string Zip(const std::vector<Member>& members, bool stored) {
    const zip_int32_t method = stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    zip_error_t error;
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    for (const Member& member : members) {
        if (member.name.ends_with('/')) {
            zip_dir_add(archive, member.name.c_str(), ZIP_FL_ENC_UTF_8);
            continue;
        }
        zip_source_t* data =
            zip_source_buffer(archive, member.content.data(), member.content.size(), 0);
        const zip_int64_t index =
            zip_file_add(archive, member.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 9);
        if (member.link) {
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                             ZIP_OPSYS_UNIX, 0120777u << 16);
        }
    }
    if (zip_close(archive) != 0) throw std::runtime_error(zip_strerror(archive));
    std::string bytes;
    zip_source_open(buffer);
    char chunk[4096];
    zip_int64_t count;
    while ((count = zip_source_read(buffer, chunk, sizeof chunk)) > 0) bytes.append(chunk, count);
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// A 7z written by libarchive, solid as its writer makes them: `compression` "lzma2" or "copy".
std::string SevenZip(const std::vector<Member>& members, const char* compression) {
#ifndef _WIN32
    // libarchive takes names in the thread's locale, as it hands them out.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t previous = uselocale(utf8);
#endif
    std::string bytes;
    archive* writer = archive_write_new();
    archive_write_set_format_7zip(writer);
    archive_write_set_format_option(writer, "7zip", "compression", compression);
    archive_write_set_bytes_in_last_block(writer, 1);  // no padding after the archive
    archive_write_open2(
        writer, &bytes, nullptr,
        [](archive*, void* data, const void* block, size_t size) -> la_ssize_t {
            static_cast<std::string*>(data)->append(static_cast<const char*>(block), size);
            return static_cast<la_ssize_t>(size);
        },
        nullptr, nullptr);
    for (const Member& member : members) {
        archive_entry* entry = archive_entry_new();
        const bool folder = member.name.ends_with('/');
#ifdef _WIN32
        std::wstring wide(member.name.size(), L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, member.name.data(),
                                        static_cast<int>(member.name.size()), wide.data(),
                                        static_cast<int>(wide.size())));
        archive_entry_copy_pathname_w(entry, wide.c_str());
#else
        archive_entry_set_pathname_utf8(entry, member.name.c_str());
#endif
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : member.link ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        if (member.link) archive_entry_set_symlink(entry, member.content.c_str());
        const bool data = !folder && !member.link;
        archive_entry_set_size(entry, data ? static_cast<la_int64_t>(member.content.size()) : 0);
        archive_write_header(writer, entry);
        if (data) archive_write_data(writer, member.content.data(), member.content.size());
        archive_entry_free(entry);
    }
    if (archive_write_close(writer) != ARCHIVE_OK) {
        throw std::runtime_error(archive_error_string(writer));
    }
    archive_write_free(writer);
#ifndef _WIN32
    uselocale(previous);
    freelocale(utf8);
#endif
    return bytes;
}

// One gzip member that records `name` (none when empty).
std::string Gzip(std::string_view content, const std::string& name) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.name = name.empty() ? Z_NULL : reinterpret_cast<Bytef*>(const_cast<char*>(name.c_str()));
    deflateSetHeader(&stream, &header);
    std::string bytes(deflateBound(&stream, content.size()) + name.size() + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(bytes.data());
    stream.avail_out = static_cast<uInt>(bytes.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    bytes.resize(stream.total_out);
    deflateEnd(&stream);
    return bytes;
}

// A RAR5 archive of stored (uncompressed) entries, written here after RARLAB's published
// description of the format, since no free tool writes RAR: each block is its CRC-32, its size
// and its fields; a file block records its data's CRC-32 and is followed by the data.
std::string Rar5(const std::vector<Member>& members) {
    const auto block = [](const std::string& fields) {
        const std::string sized = Vint(fields.size()) + fields;
        return Le32(CrcOf(sized)) + sized;
    };
    std::string rar("Rar!\x1A\x07\x01\x00", 8);
    rar += block(Vint(1) + Vint(0) + Vint(0));  // the main block: no flags
    for (const Member& member : members) {
        const bool folder = member.name.ends_with('/');
        const std::string name =
            folder ? member.name.substr(0, member.name.size() - 1) : member.name;
        std::string fields = Vint(2) + Vint(0x0002) + Vint(member.content.size());  // data follows
        fields += Vint(folder ? 0x0001 : 0x0004);  // a folder, or a file with a CRC-32
        fields += Vint(member.content.size()) + Vint(folder ? 0x10 : 0x20);  // size, attributes
        if (!folder) fields += Le32(CrcOf(member.content));
        fields += Vint(0) + Vint(0) + Vint(name.size()) + name;  // stored, by Windows
        rar += block(fields) + member.content;
    }
    return rar + block(Vint(5) + Vint(0) + Vint(0));  // the end
}

// The same for RAR 1.5 to 4, ASCII names only: its blocks begin with the low half of the
// CRC-32 of the rest of the block, a type, flags and the block's size.
std::string Rar4(const std::vector<Member>& members) {
    const auto le16 = [](std::size_t value) {
        return std::string{static_cast<char>(value), static_cast<char>(value >> 8)};
    };
    const auto block = [&](char type, unsigned flags, const std::string& fields) {
        const std::string rest = type + le16(flags) + le16(7 + fields.size()) + fields;
        return le16(CrcOf(rest) & 0xFFFF) + rest;
    };
    std::string rar("Rar!\x1A\x07\x00", 7);
    rar += block(0x73, 0, std::string(6, '\0'));  // the archive block
    for (const Member& member : members) {
        const std::string size = Le32(static_cast<std::uint32_t>(member.content.size()));
        // Packed and unpacked size, by Windows, CRC-32, a DOS time, version 2.0, stored, the
        // name's size, attributes, the name.
        const std::string fields = size + size + '\x02' + Le32(CrcOf(member.content)) +
                                   Le32(0x5A210000) + "\x14\x30" + le16(member.name.size()) +
                                   Le32(0x20) + member.name;
        rar += block(0x74, 0x8000, fields) + member.content;  // 0x8000: the sizes are there
    }
    return rar + block(0x7B, 0x4000, "");  // the end
}

