// What a command found or did, and the one way it is printed: a table in the terminal's
// codeset, or JSON for scripts; the exit code comes with it.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tools/os/errors.h"

struct Report {
    std::vector<std::vector<std::string>> table;  // rows of cells, in the terminal's codeset
    std::vector<std::string> linesAfter;          // below the table: counts, notes
    std::optional<nlohmann::ordered_json> json;   // when set, printed instead of the two above
    std::vector<std::string> messages;            // to standard error after the output, as "qbt:"
    ExitCode exitCode = kExitEveryRomFound;
};

// The table in columns aligned by display width, two spaces apart, then the lines after it; or
// the JSON. Then the messages.
void PrintReport(const Report& report);
