#include "tools/cli/scan_command.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>

#include "tools/cli/errors.h"
#include "tools/cli/rom_report.h"
#include "tools/collection/collection.h"
#include "tools/collection/crc32.h"
#include "tools/collection/rom_files.h"
#include "tools/disk/file_reading.h"
#include "tools/disk/paths.h"
#include "tools/disk/system_disk.h"
#include "tools/system/parallel.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace {

// A file, or an archive's entry, left alone, with the reason the report gives.
struct SkippedFile {
    std::filesystem::path file;
    std::string reason;
    std::string entry;  // UTF-8; empty for the file itself
};

// Where a ROM was read: the file, and its name in the archive.
struct RomPlace {
    std::filesystem::path file;
    std::string entry;
};

struct ScanResults {
    std::vector<RomAnswer> answers;
    std::vector<RomPlace> roms;  // for JSON, beside the answers' names for the table
    std::vector<SkippedFile> skipped;
    std::vector<SkippedFile> unreadable;  // the reason as "cannot read PATH: why"
    std::vector<SkippedFile> damaged;
};

// The files to read: links followed, except to folders, which scan never enters. Saves, patches
// and qbt's journals are no ROMs, as rename counts them.
std::vector<std::filesystem::path> FilesToScan(const std::vector<std::string>& paths,
                                               CollectionDisk& disk, ScanResults& results) {
    std::vector<std::filesystem::path> files;
    for (FoundPath& found : ValueOrStop(CollectRomFiles(paths, disk))) {
        if (found.kind != Found::kUnreadable && IsNoRom(found.path)) continue;
        if (found.kind == Found::kUnreadable) {
            results.unreadable.push_back({found.path, CannotRead(found.path, found.reason), ""});
        } else if (found.kind == Found::kLeftAlone) {
            results.skipped.push_back({found.path, std::move(found.reason), ""});
        } else if (found.kind == Found::kFile) {
            files.push_back(std::move(found.path));
        } else if (const FileKind kind = KindOrUnknown(disk, found.path, true);
                   kind == FileKind::kFile) {
            files.push_back(std::move(found.path));
        } else if (kind == FileKind::kMissing) {
            results.skipped.push_back({found.path, "a symbolic link that leads nowhere", ""});
        }
    }
    return files;
}

// One file's part of the results.
struct ScannedFile {
    std::vector<RomAnswer> answers;
    std::vector<RomPlace> roms;
    std::string skipped;  // the reason, when the file was left alone
    std::vector<SkippedFile> unreadable;
    std::vector<SkippedFile> damaged;
};

ScannedFile ScanFile(const Plugin& plugin, const GameList& list, const std::filesystem::path& file,
                     CollectionDisk& disk, bool verify) {
    ScannedFile scanned;
    const FileContents contents = ReadRoms(file, disk, {.verify = verify, .bytesRead = {}});
    if (contents.kind == ContentKind::kOther) {
        scanned.skipped = FormatNotRead(contents);
        return scanned;
    }
    for (const RomInFile& rom : contents.roms) {
        if (rom.status == RomStatus::kDamaged) {
            scanned.damaged.push_back({file, rom.reason, rom.entry});
        } else if (rom.status == RomStatus::kUnreadable) {
            scanned.unreadable.push_back(
                {file, CannotRead(RomNameForTerminal(file, rom.entry), rom.reason), rom.entry});
        } else {
            RomAnswer& answer =
                scanned.answers.emplace_back(LookUpRom(plugin, list, CrcKey(rom.crc), 0));
            answer.file = RomNameForTerminal(file, rom.entry);
            scanned.roms.push_back({file, rom.entry});
        }
    }
    if (!contents.unreadable.empty()) {
        scanned.unreadable.push_back({file, CannotRead(file, contents.unreadable), ""});
    }
    return scanned;
}

// Files on `jobs` threads, reported in the order they were collected.
ScanResults ScanFiles(const Plugin& plugin, const GameList& list,
                      const std::vector<std::string>& paths, unsigned jobs, CollectionDisk& disk,
                      bool verify) {
    ScanResults results;
    const std::vector<std::filesystem::path> files = FilesToScan(paths, disk, results);
    std::vector<ScannedFile> scanned(files.size());
    ForEachOnThreads(files.size(), jobs, "scanning", [&](std::size_t index) {
        scanned[index] = ScanFile(plugin, list, files[index], disk, verify);
    });
    const auto append = [](auto& to, auto& from) {
        std::move(from.begin(), from.end(), std::back_inserter(to));
    };
    for (std::size_t index = 0; index < files.size(); ++index) {
        ScannedFile& file = scanned[index];
        if (!file.skipped.empty()) results.skipped.push_back({files[index], file.skipped, ""});
        append(results.answers, file.answers);
        append(results.roms, file.roms);
        append(results.unreadable, file.unreadable);
        append(results.damaged, file.damaged);
    }
    return results;
}

nlohmann::ordered_json ScanJson(const ScanResults& results, std::size_t found) {
    nlohmann::ordered_json json;
    json["roms"] = nlohmann::ordered_json::array();
    for (std::size_t index = 0; index < results.answers.size(); ++index) {
        nlohmann::ordered_json rom = RomJson(results.answers[index]);
        rom["file"] = RomNameInUtf8(results.roms[index].file, results.roms[index].entry);
        if (!IsUtf8Path(results.roms[index].file)) {
            rom["file_bytes"] = {{"bytes", HexBytesOf(results.roms[index].file)}};
        }
        json["roms"].push_back(std::move(rom));
    }
    const auto list = [](const std::vector<SkippedFile>& files) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const SkippedFile& file : files) {
            nlohmann::ordered_json& entry = entries.emplace_back();
            PutPath(entry, "file", file.file);
            if (!file.entry.empty()) entry["entry"] = file.entry;
            entry["reason"] = TerminalToUtf8(file.reason);
        }
        return entries;
    };
    json["skipped"] = list(results.skipped);
    json["found"] = found;
    json["not_found"] = results.answers.size() - found;
    json["unreadable"] = results.unreadable.size();
    json["unreadable_files"] = list(results.unreadable);
    json["damaged"] = results.damaged.size();
    json["damaged_files"] = list(results.damaged);
    return json;
}

}  // namespace

Report RunScan(const Plugin& plugin, const ScanOptions& options, Disk& disk) {
    const std::unique_ptr<const GameList> opened = OpenGameList(options.list);
    const GameList& list = *opened;
    const ScanResults results =
        ScanFiles(plugin, list, options.paths, JobsOrCores(options.jobs), disk, options.verify);
    const auto found = static_cast<std::size_t>(
        std::count_if(results.answers.begin(), results.answers.end(), IsInList));
    const std::size_t notFound = results.answers.size() - found;

    Report report;
    if (options.json) {
        report.json = ScanJson(results, found);
    } else {
        report.table = RomTable(results.answers);
        if (!results.skipped.empty() || !results.damaged.empty()) report.linesAfter.emplace_back();
        for (const SkippedFile& file : results.skipped) {
            report.linesAfter.push_back(PathToTerminal(file.file) + "  skipped: " + file.reason);
        }
        for (const SkippedFile& rom : results.damaged) {
            report.linesAfter.push_back(RomNameForTerminal(rom.file, rom.entry) +
                                        "  damaged: " + rom.reason);
        }
        std::string counts =
            std::to_string(found) + " found, " + std::to_string(notFound) + " not in the list";
        if (!results.skipped.empty())
            counts += ", " + std::to_string(results.skipped.size()) + " skipped";
        if (!results.unreadable.empty()) {
            counts += ", " + std::to_string(results.unreadable.size()) + " unreadable";
        }
        if (!results.damaged.empty()) {
            counts += ", " + std::to_string(results.damaged.size()) + " damaged";
        }
        report.linesAfter.insert(report.linesAfter.end(), {"", counts});
    }
    for (const SkippedFile& file : results.unreadable) report.messages.push_back(file.reason);
    // A skipped archive's ROMs were not looked up, so they cannot count as found.
    if (notFound > 0 || !results.skipped.empty() || !results.unreadable.empty() ||
        !results.damaged.empty()) {
        report.exitCode = kExitNotEverything;
    }
    return report;
}

std::string ScanHelp() {
    return "the same for ROM files, archive entries and folders, keyed by CRC-32";
}

Runner DefineScan(CLI::App& command) {
    auto options = std::make_shared<ScanOptions>();
    AddListOptions(command, options->list, options->json);
    AddJobsOption(command, options->jobs);
    AddVerifyOption(command, options->verify);
    command.add_option("PATH", options->paths, kCollectionPaths)->required();
    return [options](const PluginLoader& loadPlugin) {
        return RunScan(loadPlugin(), *options, SystemDisk());
    };
}
