#include "tools/cli/rename_command.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "tools/os/platform.h"
#include "tools/rename/examine.h"
#include "tools/rename/moves.h"
#include "tools/rename/plan.h"

namespace fs = std::filesystem;

namespace {

using Tally = std::array<std::size_t, kOutcomeCount>;

std::size_t& CountOf(Tally& tally, Outcome outcome) {
    return tally[static_cast<std::size_t>(outcome)];
}

void PutPlanTable(const std::vector<RenameItem>& items, Tally& tally, Report& report) {
    std::vector<std::vector<std::string>>& rows = report.table;
    rows.push_back({"FILE", "NEW NAME", "OUTCOME"});
    for (const RenameItem& item : items) {
        std::string outcome = InWords(item.outcome);
        if (!item.reason.empty()) outcome += ": " + item.reason;
        rows.push_back({PathToTerminal(item.file),
                        item.newName.empty() ? "-" : PathToTerminal(PathFromUtf8(item.newName)),
                        outcome});
    }
    const std::size_t renames =
        CountOf(tally, Outcome::kRename) + CountOf(tally, Outcome::kRenamed);
    std::string counts =
        std::to_string(renames) + (CountOf(tally, Outcome::kRenamed) ? " renamed" : " to rename");
    for (const Outcome outcome : {Outcome::kAlreadyRight, Outcome::kNotInList, Outcome::kUnreadable,
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
        file["file"] = Utf8Of(item.file);
        file["key"] = item.key.empty() ? nullptr : nlohmann::ordered_json(item.key);
        file["new_name"] = item.newName.empty() ? nullptr : nlohmann::ordered_json(item.newName);
        file["outcome"] = InWords(item.outcome);
        if (!item.reason.empty()) file["reason"] = TerminalToUtf8(item.reason);
    }
    nlohmann::ordered_json& summary = json["summary"];
    for (std::size_t outcome = 0; outcome < kOutcomeCount; ++outcome) {
        summary[InWords(static_cast<Outcome>(outcome))] = tally[outcome];
    }
    json["journal"] = journal.empty() ? nullptr : nlohmann::ordered_json(Utf8Of(journal));
    return json;
}

ExitCode ExitCodeOf(Tally& tally) {
    if (CountOf(tally, Outcome::kFailed) > 0) return kExitRenameFailed;
    if (CountOf(tally, Outcome::kUnreadable) > 0) return kExitUnreadableFile;
    const std::size_t left = CountOf(tally, Outcome::kNotInList) +
                             CountOf(tally, Outcome::kConflict) + CountOf(tally, Outcome::kSkipped);
    return left > 0 ? kExitSomeRomNotFound : kExitEveryRomFound;
}

// Renames what the plan allows, after a line on standard error that says where the journal is.
fs::path ApplyRenames(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
                      const RenameOptions& options) {
    const fs::path journalPath =
        Absolute(options.journalToWrite.empty() ? DefaultJournalPath()
                                                : PathFromTerminal(options.journalToWrite));
    JournalWriter journal(journalPath);
    Say("journal " + PathToTerminal(journalPath) + " (qbt undo " + PathToTerminal(journalPath) +
        " puts the names back)");
    ApplyPlan(items, order, journal, SystemDisk());
    return journalPath;
}

}  // namespace

Report RunRename(const Plugin& plugin, const RenameOptions& options) {
    const NamePattern pattern(options.pattern);
    const GameList list = LoadGameList(options.list);
    FilesToName found = CollectFilesToName(options.paths);

    const NamingContext context{plugin, list.text, options.keyType, list.encoding, pattern};
    const unsigned jobs =
        options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<RenameItem> items = ExamineAll(found.files, context, jobs);
    items.insert(items.end(), found.links.begin(), found.links.end());
    const std::vector<std::size_t> order = PlanRenames(items, SystemDisk());
    const fs::path journal =
        options.apply && !order.empty() ? ApplyRenames(items, order, options) : fs::path();

    Tally tally{};
    for (const RenameItem& item : items) ++CountOf(tally, item.outcome);
    CountOf(tally, Outcome::kUnreadable) += found.unreadable.size();
    Report report;
    if (options.json) {
        report.json = PlanJson(items, tally, journal);
    } else {
        PutPlanTable(items, tally, report);
    }
    report.messages = std::move(found.unreadable);
    report.exitCode = ExitCodeOf(tally);
    return report;
}

Runner DefineRename(CLI::App& command) {
    auto options = std::make_shared<RenameOptions>();
    AddListOptions(command, options->list, options->json);
    AddKeyTypeOption(command, options->keyType);
    options->pattern = kDefaultNamePattern;
    command
        .add_option("--pattern", options->pattern,
                    "the new name without its extension: fmt fields " + PatternFieldNames() +
                        ", with fmt width and precision such as {release:04} or {title:.60}")
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
    command.add_option("-j,--jobs", options->jobs, "threads for checksums and lookups")
        ->type_name("N")
        ->default_str("one per core");
    command.add_option("PATH", options->paths, "ROM files, zip archives and folders")->required();
    return [options](const PluginLoader& loadPlugin) { return RunRename(loadPlugin(), *options); };
}
