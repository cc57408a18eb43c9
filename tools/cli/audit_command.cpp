#include "tools/cli/audit_command.h"

#include <filesystem>
#include <memory>

#include "tools/audit/audit.h"
#include "tools/cli/errors.h"
#include "tools/cli/output_file.h"
#include "tools/cli/rom_report.h"
#include "tools/collection/collection.h"
#include "tools/disk/paths.h"
#include "tools/disk/system_disk.h"
#include "tools/lists/missing_list.h"
#include "tools/system/parallel.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace fs = std::filesystem;

namespace {

// One line of the report: a game with one of its files (or none), or a file with no game.
struct Line {
    const char* status;
    const AuditedGame* game;  // null for a file with no game
    const AuditedFile* file;  // null for a missing game
};

const char* StatusOf(const AuditedGame& game) {
    if (game.files.empty()) return "missing";
    return game.files.size() == 1 ? "present" : "duplicate";
}

const char* StatusOf(const AuditedFile& file) {
    switch (file.status) {
        case AuditedFile::kGame: break;
        case AuditedFile::kNotInList: return "not in the list";
        case AuditedFile::kSkipped: return "skipped";
        case AuditedFile::kUnreadable: return "unreadable";
        case AuditedFile::kDamaged: return "damaged";
    }
    return "present";
}

// Games in list order, a line for each of their files; then the files that hold no game.
std::vector<Line> LinesOf(const Audit& audit) {
    std::vector<Line> lines;
    for (const AuditedGame& game : audit.games) {
        if (game.files.empty()) lines.push_back({StatusOf(game), &game, nullptr});
        for (const std::size_t file : game.files) {
            lines.push_back({StatusOf(game), &game, &audit.files[file]});
        }
    }
    for (const AuditedFile& file : audit.files) {
        if (file.status != AuditedFile::kGame) lines.push_back({StatusOf(file), nullptr, &file});
    }
    return lines;
}

struct Counts {
    std::size_t games, present, duplicated, missing, notInList = 0, skipped = 0, unreadable = 0,
                                                     damaged = 0;
};

Counts CountsOf(const Audit& audit) {
    Counts counts{audit.games.size(), audit.Present(), audit.Duplicated(),
                  audit.games.size() - audit.Present()};
    for (const AuditedFile& file : audit.files) {
        counts.notInList += file.status == AuditedFile::kNotInList;
        counts.skipped += file.status == AuditedFile::kSkipped;
        counts.unreadable += file.status == AuditedFile::kUnreadable;
        counts.damaged += file.status == AuditedFile::kDamaged;
    }
    return counts;
}

std::string Summary(const Counts& counts) {
    return std::to_string(counts.games) + " games in the list: " + std::to_string(counts.present) +
           " present (" + std::to_string(counts.duplicated) + " more than once), " +
           std::to_string(counts.missing) + " missing; files: " + std::to_string(counts.notInList) +
           " not in the list, " + std::to_string(counts.skipped) + " skipped, " +
           std::to_string(counts.unreadable) + " unreadable, " + std::to_string(counts.damaged) +
           " damaged";
}

std::string ReleaseText(const FieldAnswer& release) {
    return release.result < 0 ? "" : release.text;
}

void PutTable(const Audit& audit, const ValueEncoding& encoding, Report& report) {
    report.table.push_back({"STATUS", "KEY", "RELEASE", "TITLE", "FILE"});
    for (const Line& line : LinesOf(audit)) {
        std::vector<std::string>& row = report.table.emplace_back();
        row.push_back(line.status);
        row.push_back(line.game ? line.game->entry->key : line.file->key);
        row.push_back(line.game ? ReleaseText(line.game->release) : "");
        row.push_back(line.game ? CellText({line.game->title.result,
                                            ValueToTerminal(line.game->title.text, encoding)})
                                : "");
        std::string file = line.file ? RomNameForTerminal(line.file->file, line.file->entry) : "-";
        if (line.file && !line.file->reason.empty()) file += ": " + line.file->reason;
        row.push_back(std::move(file));
    }
}

// A field of RFC 4180: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted.append(c == '"' ? "\"\"" : std::string(1, c));
    return quoted + '"';
}

// UTF-8, as JSON: a table for a spreadsheet, one line per game and file.
std::vector<std::string> CsvLines(const Audit& audit, const ValueEncoding& encoding) {
    std::vector<std::string> lines{"status,key,release,title,file,reason"};
    for (const Line& line : LinesOf(audit)) {
        const std::string title = line.game && line.game->title.result >= 0
                                      ? ValueToUtf8(line.game->title.text, encoding)
                                      : "";
        lines.push_back(
            CsvField(line.status) + ',' +
            CsvField(line.game ? line.game->entry->key : line.file->key) + ',' +
            CsvField(line.game ? ReleaseText(line.game->release) : "") + ',' + CsvField(title) +
            ',' + CsvField(line.file ? RomNameInUtf8(line.file->file, line.file->entry) : "") +
            ',' + CsvField(line.file ? TerminalToUtf8(line.file->reason) : ""));
    }
    return lines;
}

nlohmann::ordered_json OrNull(bool present, nlohmann::ordered_json value) {
    return present ? std::move(value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json AuditJson(const Audit& audit, const ValueEncoding& encoding,
                                 const Counts& counts, const fs::path& missingList) {
    nlohmann::ordered_json json;
    json["games"] = nlohmann::ordered_json::array();
    for (const AuditedGame& game : audit.games) {
        nlohmann::ordered_json& entry = json["games"].emplace_back();
        entry["key"] = game.entry->key;
        entry["status"] = StatusOf(game);
        entry["title"] = OrNull(game.title.result >= 0, ValueToUtf8(game.title.text, encoding));
        entry["release_number"] = OrNull(game.release.result >= 0, game.release.result);
        entry["files"] = nlohmann::ordered_json::array();
        for (const std::size_t file : game.files) {
            entry["files"].push_back(
                RomNameInUtf8(audit.files[file].file, audit.files[file].entry));
        }
    }
    json["other_files"] = nlohmann::ordered_json::array();
    for (const AuditedFile& file : audit.files) {
        if (file.status == AuditedFile::kGame) continue;
        nlohmann::ordered_json& entry = json["other_files"].emplace_back();
        entry["file"] = RomNameInUtf8(file.file, file.entry);
        entry["status"] = StatusOf(file);
        entry["key"] = OrNull(!file.key.empty(), file.key);
        if (!file.reason.empty()) entry["reason"] = TerminalToUtf8(file.reason);
    }
    json["summary"] = {{"games", counts.games},           {"present", counts.present},
                       {"duplicated", counts.duplicated}, {"missing", counts.missing},
                       {"not_in_list", counts.notInList}, {"skipped", counts.skipped},
                       {"unreadable", counts.unreadable}, {"damaged", counts.damaged}};
    json["missing_list"] = OrNull(!missingList.empty(), Utf8Of(missingList));
    return json;
}

// The missing list replaces only a game list (an earlier missing list, even one of no game),
// never the list being audited nor a file among those audited.
OutputRules MissingListRules(const AuditOptions& options, const GameList& list) {
    OutputRules rules;
    rules.replace = options.replace;
    rules.kind = "a game list";
    rules.replaceable = [noGame = ListOfRecords(list.index, {})](std::string_view bytes) {
        return ReadsAsGameList(bytes) || bytes == noGame;
    };
    rules.beingRead = {{GameListPath(options.list), "the game list"}};
    for (const std::string& typed : options.paths)
        rules.readUnder.push_back(PathFromTerminal(typed));
    return rules;
}

ExitCode ExitCodeOf(const Counts& counts) {
    const bool complete = counts.missing == 0 && counts.duplicated == 0 && counts.notInList == 0 &&
                          counts.skipped == 0 && counts.unreadable == 0 && counts.damaged == 0;
    return complete ? kExitDone : kExitNotEverything;
}

}  // namespace

Report RunAudit(const Plugin& plugin, const AuditOptions& options, Disk& disk) {
    const fs::path missingList =
        options.missingList.empty() ? fs::path() : PathFromTerminal(options.missingList);
    const std::unique_ptr<const GameList> opened = OpenGameList(options.list);
    const GameList& list = *opened;
    const OutputRules rules = MissingListRules(options, list);
    // Looked at before the audit: a slip of the keyboard must not cost a ROM or a list.
    if (std::string why = missingList.empty() ? "" : WhyNotWritable(missingList, rules, disk);
        !why.empty()) {
        throw ToolError(kExitWrongUsage, "--missing-list: " + why + "; nothing was written");
    }
    const Audit audit = ValueOrStop(AuditCollection(
        plugin, list, options.paths, JobsOrCores(options.jobs), disk, options.verify));
    const Counts counts = CountsOf(audit);
    const std::string notWritten =
        missingList.empty()
            ? ""
            : WriteOutput(missingList, ListOfRecords(list.index, audit.Missing()), rules, disk);

    Report report;
    if (options.json) {
        report.json = AuditJson(audit, list.encoding, counts, missingList);
    } else if (options.csv) {
        report.linesAfter = CsvLines(audit, list.encoding);
    } else {
        PutTable(audit, list.encoding, report);
        report.linesAfter = {"", Summary(counts)};
        if (!missingList.empty() && notWritten.empty()) {
            report.linesAfter.push_back("missing list: " + PathToTerminal(missingList) + " (" +
                                        std::to_string(counts.missing) + " games)");
        }
    }
    for (const AuditedFile& file : audit.files) {
        if (file.status == AuditedFile::kUnreadable) report.messages.push_back(file.reason);
        if (file.status == AuditedFile::kDamaged) {
            report.messages.push_back(RomNameForTerminal(file.file, file.entry) +
                                      " is damaged: " + file.reason);
        }
    }
    report.exitCode = ExitCodeOf(counts);
    if (!notWritten.empty()) {
        report.messages.push_back("cannot write the missing list " + PathToTerminal(missingList) +
                                  ": " + notWritten);
        report.exitCode = kExitOutputNotWritten;
    }
    return report;
}

constexpr const char* kAuditHelp =
    "Statuses:\n"
    "  present, duplicate   the game is held by one ROM, or by more\n"
    "  missing              no ROM holds the game\n"
    "  not in the list      the ROM's CRC-32 is no game's key\n"
    "  skipped              links, archives of a format qbt does not read\n"
    "  unreadable           files, archives or entries that cannot be read\n"
    "  damaged              its bytes do not match the CRC-32 its archive records\n"
    "A ROM is a plain file or a file in a zip, 7z, RAR or gzip archive (read-me files\n"
    "in archives aside), named as games.zip:Lantern One.gba. A game is the first\n"
    "record that holds a key.\n"
    "The missing list holds the list's text before its first record, each missing\n"
    "record as the list writes it, and the list's text after its last record: the\n"
    "plug-in and qbt read it as they read the list. It replaces no file: a name that\n"
    "is taken is refused (exit 2, nothing written), unless --replace is given and\n"
    "what has the name reads as a game list, is not the list audited and lies outside\n"
    "the paths audited. It is written whole under a temporary name beside it, then\n"
    "renamed into place.";

Runner DefineAudit(CLI::App& command) {
    auto options = std::make_shared<AuditOptions>();
    AddListOptions(command, options->list, options->json, ListRequired::kYes);
    command.footer(std::string(kAuditHelp) + "\n\n" + command.get_footer());
    command.add_flag("--csv", options->csv, "CSV (UTF-8) on standard output, for spreadsheets")
        ->excludes("--json");
    command
        .add_option("--missing-list", options->missingList,
                    "write the games the collection lacks to FILE, as a game list in the "
                    "list's own format and encoding")
        ->type_name("FILE");
    command
        .add_flag("--replace", options->replace,
                  "let --missing-list replace a game list already there, such as an earlier "
                  "missing list; never the list audited, a file under the paths audited, or a "
                  "file that is no game list")
        ->needs("--missing-list");
    AddJobsOption(command, options->jobs);
    AddVerifyOption(command, options->verify);
    command.add_option("PATH", options->paths, kCollectionPaths)->required();
    return [options](const PluginLoader& loadPlugin) {
        return RunAudit(loadPlugin(), *options, SystemDisk());
    };
}
