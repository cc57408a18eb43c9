#include "tools/scan_command.h"

namespace {

constexpr const char* kScanIsNotBuilt =
    "scan (ROM files and zip archives) is not in this build: it needs zlib and libzip,\n"
    "which the Windows build does without. lookup takes the checksums by hand.";

}  // namespace

std::optional<Subcommand> AddScanCommand(CLI::App& app, Options&) {
    const std::string note = std::string(kScanIsNotBuilt) + '\n';
    app.footer([note] { return note; });
    // Left out of the help but still known, so that `qbt scan ...` says why it does nothing
    // rather than that a subcommand is missing. It takes whatever follows it.
    CLI::App* scan = app.add_subcommand("scan")->group("")->fallthrough(false)->allow_extras();
    scan->footer(note);
    scan->callback(
        [] { throw CLI::ValidationError(kScanIsNotBuilt, CLI::ExitCodes::ValidationError); });
    return std::nullopt;
}
