// A disk that only pretends to change names (and to write files), over a real one: what a dry
// run works on, so that each step it shows takes the ones before it into account. Names are told
// apart as FAT does.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/disk/disk.h"

class PretendDisk final : public Disk {
public:
    explicit PretendDisk(Disk& real) : real_(real) {}

    bool Exists(const std::filesystem::path& path) override;
    DiskResult<FileKind> KindAt(const std::filesystem::path& path, bool followLinks) override;

    DiskResult<std::vector<FolderEntry>> ListEntries(const std::filesystem::path& folder) override;
    DiskResult<std::unique_ptr<ReadableFile>> OpenToRead(
        const std::filesystem::path& path) override;
    std::filesystem::path Resolved(const std::filesystem::path& path) override;
    bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) override;

    std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) override;
    bool IsSameEntry(const std::filesystem::path& existing,
                     const std::filesystem::path& name) override;
    DiskResult<> Rename(const std::filesystem::path& from,
                        const std::filesystem::path& to) override;
    DiskResult<> Reserve(const std::filesystem::path& path) override;
    DiskResult<> ReplacePlaceholder(const std::filesystem::path& from,
                                    const std::filesystem::path& placeholder) override;
    bool IsEmptyFile(const std::filesystem::path& path) override;
    bool RemoveEmptyFile(const std::filesystem::path& path) override;
    DiskResult<> MakeFolder(const std::filesystem::path& path) override;
    bool RemoveEmptyFolder(const std::filesystem::path& path) override;
    bool IsSecondName(const std::filesystem::path& kept,
                      const std::filesystem::path& extra) override;
    bool RemoveSecondName(const std::filesystem::path& kept,
                          const std::filesystem::path& extra) override;

    DiskResult<> WriteNewFile(const std::filesystem::path& path, std::string_view content) override;
    bool RemoveNewFile(const std::filesystem::path& path) override;
    DiskResult<> RenameReplacing(const std::filesystem::path& from,
                                 const std::filesystem::path& to) override;

    // Journals are read from the real disk; none is written.
    std::filesystem::path CurrentFolder() override;
    DiskResult<std::string> ReadJournalText(const std::filesystem::path& path) override;
    DiskResult<std::unique_ptr<JournalFile>> OpenJournal(
        const std::filesystem::path& path) override;

private:
    void Move(const std::filesystem::path& from, const std::filesystem::path& to);
    // Whether a step pretended has made or removed the name.
    bool Changed(const std::filesystem::path& path) const;

    Disk& real_;
    struct Change {
        bool exists;                  // now, after the steps pretended
        std::filesystem::path spelt;  // as the step that made it named it
        bool folder = false;          // made by MakeFolder
    };
    std::map<std::filesystem::path, Change> changed_;  // by folded path
};
