#include "tools/scan_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/file_reading.h"
#include "tools/rom_files.h"
#include "tools/rom_lookup.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace {

// A scan of this many files or more shows its progress, when standard error is a terminal.
constexpr std::size_t kFilesWorthAProgressBar = 20;

struct Progress {
    std::size_t total;
    bool visible;
    std::size_t drawnPercent = 101;
};

void DrawProgress(Progress& progress, std::size_t done) {
    if (!progress.visible) return;
    const std::size_t percent = done * 100 / progress.total;
    if (percent == progress.drawnPercent) return;
    progress.drawnPercent = percent;
    constexpr std::size_t kBarWidth = 30;
    const std::size_t filled = percent * kBarWidth / 100;
    std::cerr << "\rscanning [" << std::string(filled, '#') << std::string(kBarWidth - filled, '.')
              << "] " << done << '/' << progress.total << std::flush;
}

void ClearProgress(const Progress& progress) {
    if (progress.visible) std::cerr << "\r\033[K" << std::flush;
}

int RunScan(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(GameListPath(options));
    const ValueEncoding encoding = ValueEncodingOf(listText, options.listEncoding);
    std::vector<std::string> problems;
    const std::vector<std::filesystem::path> files = CollectRomFiles(options.paths, problems);

    Progress progress{files.size(),
                      StandardErrorIsTerminal() && files.size() >= kFilesWorthAProgressBar};
    std::vector<RomAnswer> answers;
    for (std::size_t done = 0; done < files.size(); ++done) {
        DrawProgress(progress, done);
        for (const RomChecksum& rom : ChecksumsOf(files[done], problems)) {
            RomAnswer& answer =
                answers.emplace_back(LookUpRom(plugin, listText, CrcKey(rom.crc), 0, encoding));
            answer.file = rom.name;
        }
    }
    ClearProgress(progress);

    const auto found =
        static_cast<std::size_t>(std::count_if(answers.begin(), answers.end(), IsInList));
    const std::size_t notFound = answers.size() - found;
    if (options.json) {
        nlohmann::ordered_json json;
        json["roms"] = nlohmann::ordered_json::array();
        for (const RomAnswer& answer : answers) json["roms"].push_back(ToJson(answer));
        json["found"] = found;
        json["not_found"] = notFound;
        json["unreadable"] = problems.size();
        PrintJson(json);
    } else {
        PrintTable(std::cout, answers);
        std::cout << '\n' << found << " found, " << notFound << " not in the list";
        if (!problems.empty()) std::cout << ", " << problems.size() << " unreadable";
        std::cout << '\n';
    }
    for (const std::string& problem : problems) std::cerr << "qbt: " << problem << '\n';
    if (!problems.empty()) return kExitUnreadableFile;
    return notFound == 0 ? kExitEveryRomFound : kExitSomeRomNotFound;
}

}  // namespace

std::optional<Subcommand> AddScanCommand(CLI::App& app, Options& options) {
    CLI::App* scan = app.add_subcommand(
        "scan", "the same for ROM files, zip entries and folders, keyed by CRC-32");
    AddListOptions(*scan, options);
    scan->add_option("PATH", options.paths, "ROM files, zip archives and folders")->required();
    return Subcommand{scan, [&options](const Plugin& plugin) { return RunScan(plugin, options); }};
}
