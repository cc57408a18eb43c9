#include "tools/cli/undo_command.h"

#include <memory>

#include "tools/os/platform.h"
#include "tools/rename/undo.h"

Report RunUndo(const UndoOptions& options) {
    const JournalContents journal = ReadJournal(PathFromTerminal(options.journalToRead));
    const UndoOutcome undone = UndoJournal(journal, SystemDisk());
    Report report;
    std::string counts = std::to_string(undone.restored) + " restored, " +
                         std::to_string(undone.inPlace) + " already in place";
    if (!undone.skipped.empty())
        counts += ", " + std::to_string(undone.skipped.size()) + " skipped";
    if (!undone.failed.empty()) counts += ", " + std::to_string(undone.failed.size()) + " failed";
    report.linesAfter.push_back(counts);
    if (undone.tornLastLine) {
        report.linesAfter.push_back(
            "The journal's last line is incomplete: qbt was stopped while writing it, before "
            "that rename.");
    }
    for (const std::string& message : undone.skipped)
        report.messages.push_back("skipped " + message);
    for (const std::string& message : undone.failed) report.messages.push_back("failed " + message);
    if (!undone.failed.empty()) {
        report.exitCode = kExitRenameFailed;
    } else if (!undone.skipped.empty()) {
        report.exitCode = kExitSomeRomNotFound;
    }
    return report;
}

Runner DefineUndo(CLI::App& command) {
    auto options = std::make_shared<UndoOptions>();
    command.add_option("JOURNAL", options->journalToRead, "the journal rename --apply wrote")
        ->required();
    return [options](const PluginLoader&) { return RunUndo(*options); };
}
