#include "tests/host_calls.h"

#include <gtest/gtest.h>

void PrintTo(const HostAnswer& answer, std::ostream* stream) {
    *stream << answer.result << " " << testing::PrintToString(answer.text);
}

HostAnswer AskLikeHost(TextExport query, const std::string& listText, const std::string& key,
                       int32_t keyType) {
    const int32_t size = query(listText.c_str(), key.c_str(), keyType, nullptr, 0);
    if (size < 0) {
        const BufferAnswer failedCopy = CopyInto(query, listText, key, 64, keyType);
        EXPECT_EQ(failedCopy.result, size) << "size query and copy disagree";
        EXPECT_EQ(failedCopy.buffer, std::string(64, '#')) << "a failed call wrote";
        return {size, ""};
    }
    std::vector<char> buffer(static_cast<std::size_t>(size), '#');
    char* out = buffer.data();
    const int32_t copied = query(listText.c_str(), key.c_str(), keyType, &out, size);
    EXPECT_EQ(copied, size - 1) << "a buffer of the queried size must hold the whole value";
    EXPECT_EQ(buffer.back(), '\0');
    return {copied, std::string(buffer.data())};
}

std::vector<HostAnswer> AskEveryExport(const std::string& listText, const std::string& key,
                                       int32_t keyType) {
    std::vector<HostAnswer> answers;
    for (const NamedTextExport& text : kTextExports) {
        answers.push_back(AskLikeHost(text.query, listText, key, keyType));
    }
    answers.push_back({GetImgNum(listText.c_str(), key.c_str(), keyType), ""});
    return answers;
}

BufferAnswer CopyInto(TextExport query, const std::string& listText, const std::string& key,
                      int32_t outSize, int32_t keyType) {
    std::string buffer(static_cast<std::size_t>(outSize), '#');
    char* out = buffer.data();
    const int32_t result = query(listText.c_str(), key.c_str(), keyType, &out, outSize);
    return {result, buffer};
}

BufferAnswer CopyInto(IdentityExport query, int32_t outSize) {
    std::string buffer(static_cast<std::size_t>(outSize), '#');
    char* out = buffer.data();
    const int32_t result = query(&out, outSize);
    return {result, buffer};
}

std::string Game(std::string_view crc, std::string_view elements) {
    std::string record = "<GAME>\n  <ROMCRC>";
    record.append(crc).append("</ROMCRC>\n  ").append(elements).append("\n</GAME>\n");
    return record;
}

std::string Utf8List(std::string_view records) {
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GAMES>\n";
    list.append(records).append("</GAMES>\n");
    return list;
}
