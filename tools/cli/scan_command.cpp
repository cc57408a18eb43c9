#include "tools/scan_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/file_reading.h"
#include "tools/progress_bar.h"
#include "tools/rom_files.h"
#include "tools/rom_lookup.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"
#include "tools/zip_reading.h"

namespace {

// A file left alone, with the reason the report gives.
struct SkippedFile {
    std::filesystem::path file;
    std::string reason;
};

int RunScan(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(GameListPath(options));
    const ValueEncoding encoding = ValueEncodingOf(listText, options.listEncoding);
    std::vector<std::string> problems;
    const std::vector<std::filesystem::path> files = CollectRomFiles(options.paths, problems);

    std::vector<RomAnswer> answers;
    std::vector<std::string> namesInUtf8;  // for JSON, beside the answers' names for the table
    std::vector<SkippedFile> skipped;
    {
        ProgressBar progress("scanning", files.size());
        for (std::size_t done = 0; done < files.size(); ++done) {
            progress.Show(done);
            if (std::string reason = ReasonToSkip(files[done]); !reason.empty()) {
                skipped.push_back({files[done], std::move(reason)});
                continue;
            }
            for (const RomChecksum& rom : ChecksumsOf(files[done], problems)) {
                RomAnswer& answer = answers.emplace_back(
                    LookUpRom(plugin, listText, CrcKey(rom.crc), 0, encoding));
                answer.file = NameForTerminal(rom);
                namesInUtf8.push_back(NameInUtf8(rom));
            }
        }
    }

    const auto found =
        static_cast<std::size_t>(std::count_if(answers.begin(), answers.end(), IsInList));
    const std::size_t notFound = answers.size() - found;
    if (options.json) {
        nlohmann::ordered_json json;
        json["roms"] = nlohmann::ordered_json::array();
        for (std::size_t index = 0; index < answers.size(); ++index) {
            nlohmann::ordered_json rom = ToJson(answers[index]);
            rom["file"] = namesInUtf8[index];
            json["roms"].push_back(std::move(rom));
        }
        json["skipped"] = nlohmann::ordered_json::array();
        for (const SkippedFile& file : skipped) {
            json["skipped"].push_back({{"file", PathInUtf8(file.file)}, {"reason", file.reason}});
        }
        json["found"] = found;
        json["not_found"] = notFound;
        json["unreadable"] = problems.size();
        PrintJson(json);
    } else {
        PrintTable(std::cout, answers);
        if (!skipped.empty()) std::cout << '\n';
        for (const SkippedFile& file : skipped) {
            std::cout << PathToTerminal(file.file) << "  skipped: " << file.reason << '\n';
        }
        std::cout << '\n' << found << " found, " << notFound << " not in the list";
        if (!skipped.empty()) std::cout << ", " << skipped.size() << " skipped";
        if (!problems.empty()) std::cout << ", " << problems.size() << " unreadable";
        std::cout << '\n';
    }
    for (const std::string& problem : problems) std::cerr << "qbt: " << problem << '\n';
    if (!problems.empty()) return kExitUnreadableFile;
    // A skipped archive's ROMs were not looked up, so they cannot count as found.
    return notFound == 0 && skipped.empty() ? kExitEveryRomFound : kExitSomeRomNotFound;
}

}  // namespace

std::optional<Subcommand> AddScanCommand(CLI::App& app, Options& options) {
    const std::string_view zipNotRead = WhyZipArchivesAreNotRead();
    const std::string description =
        zipNotRead.empty() ? "the same for ROM files, zip entries and folders, keyed by CRC-32"
                           : "the same for ROM files and folders, keyed by CRC-32 (" +
                                 std::string(zipNotRead) + ")";
    CLI::App* scan = app.add_subcommand("scan", description);
    AddListOptions(*scan, options);
    scan->add_option(
            "PATH", options.paths,
            zipNotRead.empty() ? "ROM files, zip archives and folders" : "ROM files and folders")
        ->required();
    if (!zipNotRead.empty()) {
        scan->footer(std::string(zipNotRead) +
                     ": scan reports each one as skipped, and then exits with 1.");
    }
    return Subcommand{scan, [&options](const Plugin& plugin) { return RunScan(plugin, options); }};
}
