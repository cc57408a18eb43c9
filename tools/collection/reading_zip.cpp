// Zip archives through libzip, which reads the directory at the end of the file through a
// source of our own over the ReadableFile.
#include <zip.h>

#include <memory>
#include <vector>

#include "tools/collection/archive_formats.h"
#include "tools/collection/crc32.h"

namespace {

struct Source {
    explicit Source(ArchiveInput& in) : input(in) { zip_error_init(&error); }
    ~Source() { zip_error_fini(&error); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    ArchiveInput& input;
    std::uint64_t position = 0;
    zip_error_t error;
    // libzip's read errors carry an errno, which a ReadableFile does not give: its own reason.
    std::string readError;
};

zip_int64_t Serve(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    Source& source = *static_cast<Source*>(userdata);
    switch (command) {
        case ZIP_SOURCE_OPEN: source.position = 0; return 0;
        case ZIP_SOURCE_READ: {
            const DiskResult<std::size_t> count =
                source.input.Read(source.position, data, static_cast<std::size_t>(length));
            if (!count.Ok()) {
                source.readError = count.Why().reason;
                zip_error_set(&source.error, ZIP_ER_READ, 0);
                return -1;
            }
            source.position += *count;
            return static_cast<zip_int64_t>(*count);
        }
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_STAT: {
            auto* stat = static_cast<zip_stat_t*>(data);
            zip_stat_init(stat);
            stat->size = source.input.Size();
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&source.error, data, length);
        case ZIP_SOURCE_FREE: return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t position = zip_source_seek_compute_offset(
                source.position, source.input.Size(), data, length, &source.error);
            if (position < 0) return -1;
            source.position = static_cast<std::uint64_t>(position);
            return 0;
        }
        case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(source.position);
        case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_SEEKABLE;
        default: zip_error_set(&source.error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

// libzip's message, or the system's reason where libzip only knows that a read failed.
std::string Message(const Source& source, int code, const char* message) {
    return code == ZIP_ER_READ && !source.readError.empty() ? "read error: " + source.readError
                                                            : message;
}

// Folders, and links stored by Unix zip tools, are no ROMs.
bool IsRegularFile(zip_t* archive, zip_uint64_t index, std::string_view name) {
    if (name.ends_with('/')) return false;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) {
        return true;
    }
    if (system == ZIP_OPSYS_UNIX) {
        const zip_uint32_t type = (attributes >> 16) & 0170000;
        return type == 0 || type == 0100000;
    }
    if (system == ZIP_OPSYS_DOS || system == ZIP_OPSYS_WINDOWS_NTFS) {
        return (attributes & 0x10) == 0;  // FILE_ATTRIBUTE_DIRECTORY
    }
    return true;
}

// Decompresses the entry: its CRC-32 from its bytes, and whether they match the directory's.
void Decompress(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat, const Source& source,
                RomInFile& rom) {
    zip_file_t* entry = zip_fopen_index(archive, index, 0);
    if (entry == nullptr) {
        rom.status = RomStatus::kUnreadable;
        rom.reason =
            Message(source, zip_error_code_zip(zip_get_error(archive)), zip_strerror(archive));
        return;
    }
    char* const buffer = ThreadBuffer(0);
    Crc32 crc;
    zip_int64_t count;
    while ((count = zip_fread(entry, buffer, kReadBufferSize)) > 0) {
        crc.Add({buffer, static_cast<std::size_t>(count)});
    }
    rom.crc = crc.Value();
    if (count < 0) {
        // libzip compares the CRC itself once the entry has been read to its end.
        const int code = zip_error_code_zip(zip_file_get_error(entry));
        rom.status = code == ZIP_ER_CRC ? RomStatus::kDamaged : RomStatus::kUnreadable;
        rom.reason = Message(source, code, zip_file_strerror(entry));
    } else if ((stat.valid & ZIP_STAT_CRC) != 0 && stat.crc != rom.crc) {
        rom.status = RomStatus::kDamaged;
        rom.reason = "CRC error";
    }
    zip_fclose(entry);
}

}  // namespace

void ReadZip(ArchiveInput& input, FileContents& contents) {
    Source source(input);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* zipSource = zip_source_function_create(Serve, &source, &error);
    zip_t* archive =
        zipSource == nullptr ? nullptr : zip_open_from_source(zipSource, ZIP_RDONLY, &error);
    if (archive == nullptr) {
        if (zipSource != nullptr) zip_source_free(zipSource);
        contents.unreadable =
            Message(source, zip_error_code_zip(&error), zip_error_strerror(&error));
        zip_error_fini(&error);
        return;
    }
    zip_error_fini(&error);
    const bool verify = input.Options().verify;
    const zip_int64_t entryCount = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entryCount; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_NAME) == 0) {
            contents.unreadable = zip_strerror(archive);
            break;
        }
        if (!IsRegularFile(archive, index, stat.name)) continue;
        RomInFile rom;
        rom.entry = stat.name;
        if (verify || (stat.valid & ZIP_STAT_CRC) == 0) {
            Decompress(archive, index, stat, source, rom);
        } else {
            rom.crc = stat.crc;
            rom.crcFromBytes = false;
        }
        contents.roms.push_back(std::move(rom));
    }
    zip_discard(archive);  // read only: nothing to write back; frees the source too
}
