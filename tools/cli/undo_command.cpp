#include "tools/cli/undo_command.h"

#include <array>
#include <memory>

#include "tools/disk/pretend_disk.h"
#include "tools/disk/system_disk.h"
#include "tools/rename/undo.h"
#include "tools/system/interruption.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace fs = std::filesystem;

namespace {

struct UndoneJournal {
    fs::path path;
    UndoOutcome outcome;
};

using Tally = std::array<std::size_t, static_cast<std::size_t>(Undone::kFailed) + 1>;

std::size_t& CountOf(Tally& tally, Undone undone) {
    return tally[static_cast<std::size_t>(undone)];
}

// With several journals, each message and row says which one it comes from.
std::string Source(const UndoneJournal& journal, bool several) {
    return several ? PathToTerminal(journal.path) + " " : std::string();
}

// One journal's rows (a dry run's) or the reasons of what was not restored, its damaged lines,
// the folders kept and a line cut short.
void PutJournal(const UndoneJournal& journal, bool several, bool dryRun, Report& report) {
    const std::string source = Source(journal, several);
    for (const std::string& line : journal.outcome.damaged) {
        report.messages.push_back("skipped " + source + line);
    }
    for (const UndoneEntry& entry : journal.outcome.entries) {
        const std::string line = "line " + std::to_string(entry.line);
        if (dryRun) {
            std::string outcome = InWords(entry.outcome);
            if (!entry.reason.empty()) outcome += ": " + entry.reason;
            report.table.push_back(
                {source + line, PathToTerminal(entry.now), PathToTerminal(entry.from), outcome});
        } else if (!entry.reason.empty()) {
            report.messages.push_back(std::string(InWords(entry.outcome)) + " " + source + line +
                                      ": " + entry.reason);
        }
    }
    for (const fs::path& folder : journal.outcome.foldersKept) {
        report.messages.push_back("kept " + source + "the folder " + PathToTerminal(folder) +
                                  ", which qbt made: it holds files");
    }
    if (journal.outcome.tornLastLine) {
        report.linesAfter.push_back(source +
                                    "The journal's last line is incomplete: qbt was stopped while "
                                    "writing it, before that rename.");
    }
}

// "3 restored, 1 already in place, 1 skipped; 2 folders removed"
std::string Counts(Tally& tally, std::size_t damaged, std::size_t folders, bool dryRun) {
    const Undone done = dryRun ? Undone::kRestore : Undone::kRestored;
    std::string counts = std::to_string(CountOf(tally, done)) +
                         (dryRun ? " to restore, " : " restored, ") +
                         std::to_string(CountOf(tally, Undone::kInPlace)) + " already in place";
    if (const std::size_t skipped = CountOf(tally, Undone::kSkipped) + damaged; skipped > 0) {
        counts += ", " + std::to_string(skipped) + " skipped";
    }
    if (CountOf(tally, Undone::kFailed) > 0) {
        counts += ", " + std::to_string(CountOf(tally, Undone::kFailed)) + " failed";
    }
    if (folders > 0) {
        counts += "; " + std::to_string(folders) + (folders == 1 ? " folder" : " folders") +
                  (dryRun ? " to remove" : " removed");
    }
    return counts;
}

void PutTable(const std::vector<UndoneJournal>& journals, bool dryRun, Tally& tally,
              Report& report) {
    if (dryRun) report.table.push_back({"LINE", "FILE", "OLD NAME", "OUTCOME"});
    std::size_t damaged = 0;
    std::size_t folders = 0;  // removed
    for (const UndoneJournal& journal : journals) {
        PutJournal(journal, journals.size() > 1, dryRun, report);
        damaged += journal.outcome.damaged.size();
        folders += journal.outcome.foldersRemoved.size();
    }
    if (dryRun) report.linesAfter.insert(report.linesAfter.begin(), "");
    report.linesAfter.insert(report.linesAfter.begin() + (dryRun ? 1 : 0),
                             Counts(tally, damaged, folders, dryRun));
}

nlohmann::ordered_json UndoJson(const std::vector<UndoneJournal>& journals, Tally& tally) {
    nlohmann::ordered_json json;
    json["journals"] = nlohmann::ordered_json::array();
    for (const UndoneJournal& journal : journals) {
        nlohmann::ordered_json& out = json["journals"].emplace_back();
        PutPath(out, "journal", journal.path);
        out["entries"] = nlohmann::ordered_json::array();
        for (const UndoneEntry& entry : journal.outcome.entries) {
            nlohmann::ordered_json& row = out["entries"].emplace_back();
            row["line"] = entry.line;
            PutPath(row, "file", entry.now);
            PutPath(row, "old_name", entry.from);
            row["outcome"] = InWords(entry.outcome);
            if (!entry.reason.empty()) row["reason"] = TerminalToUtf8(entry.reason);
        }
        for (const char* kept : {"folders_removed", "folders_kept"}) {
            out[kept] = nlohmann::ordered_json::array();
        }
        for (const fs::path& folder : journal.outcome.foldersRemoved) {
            PutPath(out["folders_removed"].emplace_back(), "folder", folder);
        }
        for (const fs::path& folder : journal.outcome.foldersKept) {
            PutPath(out["folders_kept"].emplace_back(), "folder", folder);
        }
        out["damaged_lines"] = journal.outcome.damaged;
        out["torn_last_line"] = journal.outcome.tornLastLine;
    }
    nlohmann::ordered_json& summary = json["summary"];
    for (std::size_t kind = 0; kind < tally.size(); ++kind) {
        summary[InWords(static_cast<Undone>(kind))] = tally[kind];
    }
    return json;
}

// The command that goes on where an interrupted undo stopped: the same one.
std::string UndoCommand(const std::vector<UndoneJournal>& journals) {
    std::string command = "qbt undo";
    for (auto journal = journals.rbegin(); journal != journals.rend(); ++journal) {
        command += " " + ShellQuoted(journal->path);
    }
    return command;
}

}  // namespace

Report RunUndo(const UndoOptions& options, Disk& disk) {
    // Every journal is read, and opened for undo's own lines, before any name changes.
    std::vector<UndoneJournal> journals;
    std::vector<JournalContents> contents;
    for (auto typed = options.journals.rbegin(); typed != options.journals.rend(); ++typed) {
        journals.push_back({PathFromTerminal(*typed), {}});
        contents.push_back(ValueOrStop(ReadJournal(disk, journals.back().path)));
    }
    std::vector<std::unique_ptr<JournalWriter>> writers;
    if (!options.dryRun) {
        for (const UndoneJournal& journal : journals) {
            writers.push_back(std::make_unique<JournalWriter>(
                ValueOrStop(JournalWriter::Open(disk, journal.path))));
        }
        CatchInterruptions();
    }
    PretendDisk pretend(disk);
    Disk& undoing = options.dryRun ? static_cast<Disk&>(pretend) : disk;
    Tally tally{};
    std::size_t damaged = 0;
    bool interrupted = false;
    for (std::size_t index = 0; index < journals.size() && !interrupted; ++index) {
        UndoOutcome& outcome = journals[index].outcome;
        outcome =
            UndoJournal(contents[index], undoing, options.dryRun ? nullptr : writers[index].get());
        for (const UndoneEntry& entry : outcome.entries) ++CountOf(tally, entry.outcome);
        damaged += outcome.damaged.size();
        interrupted = outcome.interrupted;
    }

    Report report;
    if (options.json) {
        report.json = UndoJson(journals, tally);
    } else {
        PutTable(journals, options.dryRun, tally, report);
    }
    if (interrupted) {
        report.interrupted = true;
        report.messages.push_back("interrupted; " + UndoCommand(journals) +
                                  " puts back the names not yet restored");
    }
    if (CountOf(tally, Undone::kFailed) > 0) {
        report.exitCode = kExitChangeRefused;
    } else if (CountOf(tally, Undone::kSkipped) + damaged > 0) {
        report.exitCode = kExitNotEverything;
    }
    return report;
}

Runner DefineUndo(CLI::App& command) {
    auto options = std::make_shared<UndoOptions>();
    command.add_flag("--dry-run", options->dryRun,
                     "show what would be put back, and change nothing");
    command.add_flag("--json", options->json, "JSON on standard output, for scripts");
    command
        .add_option("JOURNAL", options->journals,
                    "journals rename --apply wrote; several are undone last named first, each "
                    "from its last rename back, and undo's own steps go into the journal they "
                    "undo")
        ->required();
    return [options](const PluginLoader&) { return RunUndo(*options, SystemDisk()); };
}
