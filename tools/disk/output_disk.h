// What writing qbt's own outputs (cli/output_file.h) asks of the disk, never over a user's file:
// a name taken is looked at as a collection's file is, and the output renamed into place as a
// ROM is, without replacing what took the name meanwhile.
#pragma once

#include <filesystem>
#include <string_view>

#include "tools/disk/collection_disk.h"
#include "tools/disk/renaming_disk.h"

class OutputDisk : public virtual CollectionDisk, public virtual RenamingDisk {
public:
    // Makes a file holding `content` under `path` only if nothing answers to the name
    // (kNameTaken otherwise), and writes it through to the disk; a file that could not be
    // written whole is removed again.
    virtual DiskResult<> WriteNewFile(const std::filesystem::path& path,
                                      std::string_view content) = 0;

    // Removes a file that WriteNewFile made in this process, and no other.
    virtual bool RemoveNewFile(const std::filesystem::path& path) = 0;

    // Gives the file WriteNewFile made at `from` the name `to`, replacing what `to` names: only
    // for an output that the caller has made sure may be replaced.
    virtual DiskResult<> RenameReplacing(const std::filesystem::path& from,
                                         const std::filesystem::path& to) = 0;
};
