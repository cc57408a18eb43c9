// What a command found or did, and the one way it is printed: a table in the terminal's
// codeset, or JSON for scripts; the exit code comes with it.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tools/cli/errors.h"

struct Report {
    std::vector<std::vector<std::string>> table;  // rows of cells, in the terminal's codeset
    std::vector<std::string> linesAfter;          // below the table: counts, notes
    std::optional<nlohmann::ordered_json> json;   // when set, printed instead of the two above
    std::vector<std::string> messages;            // to standard error after the output, as "qbt:"
    ExitCode exitCode = kExitDone;
    // Stopped by Ctrl-C or SIGTERM between two steps: once the report is out, qbt ends as the
    // signal would have ended it.
    bool interrupted = false;
};

// `path` under `key` as UTF-8 text; a name that is not UTF-8 (Linux allows any bytes) also
// under "<key>_bytes" as {"bytes": "<hexadecimal>"}, the journal's form, so that a script can
// still reach the file while the text shows U+FFFD for what it cannot spell.
void PutPath(nlohmann::ordered_json& object, const std::string& key,
             const std::filesystem::path& path);

// The path as the shell takes it back, for a command qbt tells the user to run.
std::string ShellQuoted(const std::filesystem::path& path);

// The table in columns aligned by display width, two spaces apart, then the lines after it; or
// the JSON. Then the messages.
void PrintReport(const Report& report);
