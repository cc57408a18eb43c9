#include "tools/cli/rom_report.h"

#include <algorithm>

#include "tools/system/text_encoding.h"

std::string CellText(const FieldAnswer& answer) {
    if (answer.result < 0) return std::string("<").append(ResultInWords(answer.result)).append(">");
    // A value keeps the line breaks and tabs it has in the list; a table cell cannot. Bytes below
    // 0x20 are never part of a multibyte character in the codesets a terminal uses.
    std::string cell = answer.text;
    std::replace_if(
        cell.begin(), cell.end(),
        [](char byte) { return static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F; }, ' ');
    return cell;
}

std::vector<std::vector<std::string>> RomTable(const std::vector<RomAnswer>& answers) {
    const bool withFile = std::any_of(answers.begin(), answers.end(),
                                      [](const RomAnswer& answer) { return !answer.file.empty(); });
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string>& header = rows.emplace_back();
    if (withFile) header.push_back("FILE");
    header.push_back("KEY");
    for (const FieldRow& field : kFields) header.emplace_back(field.heading);
    for (const RomAnswer& answer : answers) {
        std::vector<std::string>& row = rows.emplace_back();
        if (withFile) row.push_back(answer.file);
        row.push_back(answer.key);
        for (const FieldAnswer& field : answer.fields) {
            row.push_back(CellText({field.result, ValueToTerminal(field.text, answer.encoding)}));
        }
    }
    return rows;
}

nlohmann::ordered_json RomJson(const RomAnswer& answer) {
    nlohmann::ordered_json json;
    if (!answer.file.empty()) json["file"] = answer.file;
    json["key"] = TerminalToUtf8(answer.key);
    json["in_list"] = IsInList(answer);
    for (const FieldRow& field : kFields) {
        const FieldAnswer& value = answer.fields[IndexOf(field.field)];
        nlohmann::ordered_json& slot = json[std::string(field.jsonName)];
        if (value.result < 0) {
            slot = {{"code", value.result}, {"error", ResultInWords(value.result)}};
        } else if (field.field == Field::kRelease) {
            slot = value.result;
        } else {
            slot = ValueToUtf8(value.text, answer.encoding);
        }
    }
    return json;
}
