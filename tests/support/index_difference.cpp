#include "tests/support/index_difference.h"

#include <optional>
#include <string_view>
#include <vector>

#include "tests/host_calls.h"

namespace {

struct Answer {
    std::int32_t result;
    std::string buffer;  // the whole buffer, so bytes written past the NUL show too

    bool operator==(const Answer&) const = default;
};

Answer Ask(TextExport query, const char* list, const std::string& key, std::int32_t keyType,
           std::int32_t outSize) {
    std::string buffer(static_cast<std::size_t>(outSize) + 1, '#');
    char* out = buffer.data();
    const std::int32_t result =
        query(list, key.c_str(), keyType, outSize == 0 ? nullptr : &out, outSize);
    return {result, buffer};
}

std::string Describe(std::string_view what, const std::string& key, std::int32_t keyType,
                     std::int32_t expected, std::int32_t got) {
    return std::string(what) + " for key \"" + key + "\", key type " + std::to_string(keyType) +
           ": " + std::to_string(got) + ", expected " + std::to_string(expected);
}

}  // namespace

std::string DifferenceBetweenLists(const char* expectedList, const char* list,
                                   const std::string& key, std::int32_t keyType) {
    for (const NamedTextExport& text : kTextExports) {
        const std::int32_t size = Ask(text.query, expectedList, key, keyType, 0).result;
        std::vector<std::int32_t> sizes = {0, 1, 2, 7, 64, 256};
        if (size > 1) sizes.insert(sizes.end(), {size - 1, size});
        for (const std::int32_t outSize : sizes) {
            const Answer expected = Ask(text.query, expectedList, key, keyType, outSize);
            const Answer got = Ask(text.query, list, key, keyType, outSize);
            if (got == expected) continue;
            return Describe(std::string(text.name) + " into " + std::to_string(outSize) +
                                " bytes (\"" + got.buffer + "\" against \"" + expected.buffer +
                                "\")",
                            key, keyType, expected.result, got.result);
        }
    }
    const std::int32_t number = GetImgNum(expectedList, key.c_str(), keyType);
    const std::int32_t got = GetImgNum(list, key.c_str(), keyType);
    return number == got ? "" : Describe("GetImgNum", key, keyType, number, got);
}

std::string DifferenceOverIndexedText(const ListIndex& index, const std::string& listText,
                                      const std::string& key, std::int32_t keyType) {
    const std::optional<std::string> indexedText = index.TextFor(key, keyType);
    return DifferenceBetweenLists(
        listText.c_str(), indexedText ? indexedText->c_str() : listText.c_str(), key, keyType);
}
