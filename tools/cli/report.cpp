#include "tools/cli/report.h"

#include <algorithm>
#include <iostream>

#include "tools/os/platform.h"

namespace {

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            out << row[column];
            if (column + 1 < row.size()) {
                out << std::string(widths[column] - DisplayWidth(row[column]) + 2, ' ');
            }
        }
        out << '\n';
    }
}

void PrintJson(std::ostream& out, const nlohmann::ordered_json& json) {
    // File names need not be UTF-8; a byte that is not becomes U+FFFD rather than an error.
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

void PrintReport(const Report& report) {
    if (report.json) {
        PrintJson(std::cout, *report.json);
    } else {
        PrintTable(std::cout, report.table);
        for (const std::string& line : report.linesAfter) std::cout << line << '\n';
    }
    for (const std::string& message : report.messages) Say(message);
}
