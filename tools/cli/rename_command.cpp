#include "tools/cli/rename_command.h"

#include <algorithm>
#include <memory>

#include "tools/disk/system_disk.h"
#include "tools/rename/companions.h"
#include "tools/rename/examine.h"
#include "tools/rename/moves.h"
#include "tools/rename/plan.h"
#include "tools/system/interruption.h"
#include "tools/system/parallel.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace fs = std::filesystem;

namespace {

using Tally = std::array<std::size_t, kOutcomeCount>;

std::size_t& CountOf(Tally& tally, Outcome outcome) {
    return tally[static_cast<std::size_t>(outcome)];
}

// ROMs by outcome; companions, which share their ROM's fate, only when they failed on their own.
Tally TallyOf(const std::vector<RenameItem>& items) {
    Tally tally{};
    for (const RenameItem& item : items) {
        if (!item.companionOf || item.outcome == Outcome::kFailed) ++CountOf(tally, item.outcome);
    }
    return tally;
}

std::size_t CompanionsMoving(const std::vector<RenameItem>& items) {
    return static_cast<std::size_t>(std::count_if(items.begin(), items.end(), [](const auto& item) {
        return item.companionOf &&
               (item.outcome == Outcome::kRename || item.outcome == Outcome::kRenamed);
    }));
}

void PutPlanTable(const std::vector<RenameItem>& items, Tally& tally, Report& report) {
    std::vector<std::vector<std::string>>& rows = report.table;
    rows.push_back({"FILE", "NEW NAME", "OUTCOME"});
    for (const RenameItem& item : items) {
        std::string outcome = InWords(item.outcome);
        if (!item.reason.empty()) {
            outcome += ": " + item.reason;
        } else if (item.companionOf) {
            outcome += " with " + PathToTerminal(items[*item.companionOf].file.filename());
        }
        rows.push_back({PathToTerminal(item.file),
                        item.newName.empty() ? "-" : Utf8ToTerminal(item.newName), outcome});
    }
    // A dry run has only renames to do, an --apply run only renames done, unless it was stopped.
    const std::size_t renamed = CountOf(tally, Outcome::kRenamed);
    const std::size_t toRename = CountOf(tally, Outcome::kRename);
    std::string counts = renamed > 0 ? std::to_string(renamed) + " renamed"
                                     : std::to_string(toRename) + " to rename";
    if (renamed > 0 && toRename > 0) counts += ", " + std::to_string(toRename) + " to rename";
    if (const std::size_t companions = CompanionsMoving(items); companions > 0) {
        counts += " (and " + std::to_string(companions) +
                  (companions == 1 ? " save or patch" : " saves or patches") + " with them)";
    }
    for (const Outcome outcome :
         {Outcome::kAlreadyRight, Outcome::kNotInList, Outcome::kUnreadable, Outcome::kDamaged,
          Outcome::kConflict, Outcome::kSkipped, Outcome::kFailed}) {
        if (CountOf(tally, outcome) > 0) {
            counts += ", " + std::to_string(CountOf(tally, outcome)) + ' ' + InWords(outcome);
        }
    }
    report.linesAfter = {"", counts};
}

nlohmann::ordered_json PlanJson(const std::vector<RenameItem>& items, Tally& tally,
                                const fs::path& journal) {
    nlohmann::ordered_json json;
    json["files"] = nlohmann::ordered_json::array();
    for (const RenameItem& item : items) {
        nlohmann::ordered_json& file = json["files"].emplace_back();
        PutPath(file, "file", item.file);
        file["key"] = item.key.empty() ? nullptr : nlohmann::ordered_json(item.key);
        file["new_name"] = item.newName.empty() ? nullptr : nlohmann::ordered_json(item.newName);
        file["outcome"] = InWords(item.outcome);
        if (!item.reason.empty()) file["reason"] = TerminalToUtf8(item.reason);
        if (item.companionOf) PutPath(file, "companion_of", items[*item.companionOf].file);
    }
    nlohmann::ordered_json& summary = json["summary"];
    for (std::size_t outcome = 0; outcome < kOutcomeCount; ++outcome) {
        summary[InWords(static_cast<Outcome>(outcome))] = tally[outcome];
    }
    summary["companions"] = CompanionsMoving(items);
    json["journal"] = journal.empty() ? nullptr : nlohmann::ordered_json(Utf8Of(journal));
    return json;
}

ExitCode ExitCodeOf(Tally& tally) {
    if (CountOf(tally, Outcome::kFailed) > 0) return kExitChangeRefused;
    const std::size_t left =
        CountOf(tally, Outcome::kNotInList) + CountOf(tally, Outcome::kConflict) +
        CountOf(tally, Outcome::kSkipped) + CountOf(tally, Outcome::kUnreadable) +
        CountOf(tally, Outcome::kDamaged);
    return left > 0 ? kExitNotEverything : kExitDone;
}

fs::path JournalPath(const RenameOptions& options, JournalDisk& disk) {
    return Absolute(options.journalToWrite.empty() ? DefaultJournalPath(disk)
                                                   : PathFromTerminal(options.journalToWrite));
}

// A journal named to be added to is read first: it must be one (a game list named by mistake
// is refused before anything changes), and the empty files it records as names held for renames
// that a stopped run never made are cleared away, so that they stand in no one's way.
void ClearWhatAStoppedRunLeft(const fs::path& journal, Disk& disk) {
    // New, or /dev/full, say: JournalWriter says whether it can be written.
    const DiskResult<std::string> text = disk.ReadJournalText(journal);
    if (!text.Ok()) return;
    ClearStrayPlaceholders(ValueOrStop(ParseJournal(*text, PathToTerminal(journal))), disk);
}

// Renames what the plan allows, after a line on standard error that says where the journal is.
void ApplyRenames(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
                  const fs::path& journalPath, Disk& disk) {
    JournalWriter journal = ValueOrStop(JournalWriter::Open(disk, journalPath));
    Say("journal " + PathToTerminal(journalPath) + " (qbt undo " + ShellQuoted(journalPath) +
        " puts the names back)");
    ApplyPlan(items, order, journal, disk);
}

}  // namespace

Report RunRename(const Plugin& plugin, const RenameOptions& options, Disk& disk) {
    const NamePattern pattern = ValueOrStop(NamePattern::Parse(options.pattern));
    const std::unique_ptr<const GameList> opened =
        OpenGameList(options.list, options.apply ? InDoubt::kRefuse : InDoubt::kWarn);
    const GameList& list = *opened;
    const fs::path journalPath = options.apply ? JournalPath(options, disk) : fs::path();
    if (options.apply) ClearWhatAStoppedRunLeft(journalPath, disk);
    FilesToName found = ValueOrStop(CollectFilesToName(options.paths, disk));
    // Saves, patches and journals are no ROMs: never looked up, never "not in the list".
    const fs::path journalNamed =
        options.journalToWrite.empty() ? fs::path() : JournalPath(options, disk);
    std::erase_if(found.files, [&](const fs::path& file) {
        return IsNoRom(file) || Absolute(file) == journalNamed;
    });
    if (options.apply) CatchInterruptions();

    const NamingContext context{plugin, list, options.keyType, pattern, disk, options.verify};
    std::vector<RenameItem> items = ExamineAll(found.files, context, JobsOrCores(options.jobs));
    Report report;
    if (Interrupted()) {
        report.messages.push_back("interrupted while reading the files; nothing was renamed");
        report.interrupted = true;
        return report;
    }
    items.insert(items.end(), found.leftAlone.begin(), found.leftAlone.end());
    if (!options.noCompanions) AddCompanions(items, disk);
    std::vector<std::size_t> order = PlanRenames(items, disk);
    while (KeepCompanionsTogether(items)) order = PlanRenames(items, disk);
    const bool applied = options.apply && !order.empty();
    if (applied) ApplyRenames(items, order, journalPath, disk);

    Tally tally = TallyOf(items);
    if (options.json) {
        report.json = PlanJson(items, tally, applied ? journalPath : fs::path());
    } else {
        PutPlanTable(items, tally, report);
    }
    for (const RenameItem& item : found.leftAlone) {
        if (item.outcome == Outcome::kUnreadable) report.messages.push_back(item.reason);
    }
    report.exitCode = ExitCodeOf(tally);
    if (applied && Interrupted()) {
        report.interrupted = true;
        report.messages.push_back(
            "interrupted after " + std::to_string(CountOf(tally, Outcome::kRenamed)) +
            " renames; qbt undo " + ShellQuoted(journalPath) + " puts the names back");
    }
    return report;
}

Runner DefineRename(CLI::App& command) {
    auto options = std::make_shared<RenameOptions>();
    AddListOptions(command, options->list, options->json, ListRequired::kYes);
    AddKeyTypeOption(command, options->keyType);
    options->pattern = kDefaultNamePattern;
    command
        .add_option("--pattern", options->pattern,
                    "the new name without its extension: fmt fields by name, " +
                        PatternFieldNames() +
                        ", with fmt width and precision such as {release:04} or {title:.60} "
                        "(padding stays). A field the list lacks goes with the separators and "
                        "brackets beside it, never with a character of another field; the region "
                        "comes in brackets. A / makes folders under the ROM's folder, "
                        "{region}/{title}; a / in a field's value becomes _")
        ->type_name("TEXT")
        ->capture_default_str();
    command.add_flag("--apply", options->apply,
                     "rename the files, each after a line in the journal; without it nothing "
                     "changes");
    command
        .add_option("--journal", options->journalToWrite,
                    "the journal to write, added to if it exists; qbt undo reads it")
        ->type_name("FILE")
        ->default_str("qbt-rename-<date>-<time>.jsonl in the current folder");
    std::string extensions;
    for (const std::string_view extension : kCompanionExtensions) {
        extensions.append(" ").append(extension);
    }
    command.add_flag("--no-companions", options->noCompanions,
                     "leave saves, cheats and patches where they are (by default a file beside a "
                     "ROM with its name and one of the extensions" +
                         extensions + " is renamed with it)");
    AddJobsOption(command, options->jobs);
    AddVerifyOption(command, options->verify);
    command.add_option("PATH", options->paths, kCollectionPaths)->required();
    return [options](const PluginLoader& loadPlugin) {
        return RunRename(loadPlugin(), *options, SystemDisk());
    };
}
