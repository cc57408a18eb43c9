#include "tools/rom_lookup.h"

#include <algorithm>

#include "tools/tool_platform.h"

namespace {

struct FieldName {
    const char* heading;
    const char* jsonName;
};
constexpr std::array<FieldName, kFieldCount> kFieldNames{{{"PUBLISHER", "publisher"},
                                                          {"TITLE", "title"},
                                                          {"SAVE TYPE", "save_type"},
                                                          {"MEDIA", "media"},
                                                          {"REGION", "region"},
                                                          {"RELEASE", "release_number"}}};
constexpr std::size_t kReleaseNumber = 5;

}  // namespace

RomAnswer LookUpRom(const Plugin& plugin, const std::string& listText, const std::string& key,
                    int32_t keyType, const ValueEncoding& encoding) {
    RomAnswer answer{"", key, {}, encoding};
    const TextExport textExports[] = {plugin.GetMaker, plugin.GetTitle, plugin.GetSaveInfo,
                                      plugin.GetMediaInfo, plugin.GetCountry};
    for (std::size_t field = 0; field < std::size(textExports); ++field) {
        answer.fields[field] = AskLikeHost([&](char** out, int32_t outSize) {
            return textExports[field](listText.c_str(), key.c_str(), keyType, out, outSize);
        });
    }
    const int32_t releaseNumber = plugin.GetImgNum(listText.c_str(), key.c_str(), keyType);
    answer.fields[kReleaseNumber] = {releaseNumber,
                                     releaseNumber < 0 ? "" : std::to_string(releaseNumber)};
    return answer;
}

bool IsInList(const RomAnswer& answer) {
    return std::none_of(answer.fields.begin(), answer.fields.end(),
                        [](const FieldAnswer& field) { return field.result == ErrKeyNotFound; });
}

std::string ResultInWords(int32_t code) {
    switch (code) {
        case ErrKeyNotFound: return "not in the list";
        case ErrFieldNotFound: return "field missing";
        case ErrEmptyValue: return "empty";
        case ErrBadValue: return "malformed";
        case ErrBadArgument: return "bad argument";
        case ErrOutOfMemory: return "out of memory";
        default: return "error " + std::to_string(code);
    }
}

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

void PrintAligned(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
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

void PrintTable(std::ostream& out, const std::vector<RomAnswer>& answers) {
    const bool withFile = std::any_of(answers.begin(), answers.end(),
                                      [](const RomAnswer& answer) { return !answer.file.empty(); });
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string>& header = rows.emplace_back();
    if (withFile) header.push_back("FILE");
    header.push_back("KEY");
    for (const FieldName& name : kFieldNames) header.push_back(name.heading);
    for (const RomAnswer& answer : answers) {
        std::vector<std::string>& row = rows.emplace_back();
        if (withFile) row.push_back(answer.file);
        row.push_back(answer.key);
        for (const FieldAnswer& field : answer.fields) {
            row.push_back(CellText({field.result, ValueToTerminal(field.text, answer.encoding)}));
        }
    }

    PrintAligned(out, rows);
}

nlohmann::ordered_json ToJson(const RomAnswer& answer) {
    nlohmann::ordered_json json;
    if (!answer.file.empty()) json["file"] = answer.file;
    json["key"] = TerminalToUtf8(answer.key);
    json["in_list"] = IsInList(answer);
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const FieldAnswer& value = answer.fields[field];
        nlohmann::ordered_json& slot = json[kFieldNames[field].jsonName];
        if (value.result < 0) {
            slot = {{"code", value.result}, {"error", ResultInWords(value.result)}};
        } else if (field == kReleaseNumber) {
            slot = value.result;
        } else {
            slot = ValueToUtf8(value.text, answer.encoding);
        }
    }
    return json;
}
