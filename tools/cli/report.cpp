#include "tools/cli/report.h"

#include <algorithm>
#include <iostream>

#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

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

void PutPath(nlohmann::ordered_json& object, const std::string& key,
             const std::filesystem::path& path) {
    object[key] = Utf8Of(path);
    if (!IsUtf8Path(path)) object[key + "_bytes"] = {{"bytes", HexBytesOf(path)}};
}

std::string ShellQuoted(const std::filesystem::path& path) {
    const std::string text = PathToTerminal(path);
    constexpr std::string_view kPlain =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./:+,=@%";
#ifdef _WIN32
    // cmd.exe and PowerShell alike; no Windows name holds '"'.
    if (text.find_first_not_of(std::string(kPlain) + "\\") == std::string::npos) return text;
    return '"' + text + '"';
#else
    if (!text.empty() && text.find_first_not_of(kPlain) == std::string::npos) return text;
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}
