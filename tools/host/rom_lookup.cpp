#include "tools/host/rom_lookup.h"

#include <algorithm>

namespace {

// A size query, then a copy into a buffer of exactly that size. `query(out, outSize)` makes one
// call of the export.
template <typename Query>
FieldAnswer AskLikeHost(const Query& query) {
    const int32_t size = query(nullptr, 0);
    if (size <= 0) return {size, ""};
    std::string buffer(static_cast<std::size_t>(size), '\0');
    char* out = buffer.data();
    const int32_t length = query(&out, size);
    if (length < 0) return {length, ""};
    buffer.resize(static_cast<std::size_t>(length));
    return {length, buffer};
}

// One call with a buffer that holds the usual value; the host's size query and exact copy only
// for a value that may have been cut to fit it.
template <typename Query>
FieldAnswer AskWithRoomyBuffer(const Query& query) {
    constexpr int32_t kRoomyBuffer = 256;
    std::string buffer(kRoomyBuffer, '\0');
    char* out = buffer.data();
    const int32_t length = query(&out, kRoomyBuffer);
    if (length < 0) return {length, ""};
    if (length == kRoomyBuffer - 1) return AskLikeHost(query);
    buffer.resize(static_cast<std::size_t>(length));
    return {length, buffer};
}

}  // namespace

RomQuery QueryFor(const Plugin& plugin, const GameList& list, const std::string& key,
                  int32_t keyType, std::string& scratch) {
    RomQuery query{list.TextFor(key, keyType, scratch), key.c_str(), keyType, list.utf8.get()};
    const std::size_t zeros = std::min(key.find_first_not_of('0'), key.size() - 1);
    if (zeros == 0 || zeros == std::string::npos) return query;
    if (plugin.GetImgNum(query.listText, query.key, keyType) != ErrKeyNotFound) return query;
    const std::string shorter = key.substr(zeros);
    std::string shorterScratch;
    const char* shorterText = list.TextFor(shorter, keyType, shorterScratch);
    if (plugin.GetImgNum(shorterText, key.c_str() + zeros, keyType) == ErrKeyNotFound) return query;
    scratch = std::move(shorterScratch);
    return {shorterText == list.text.c_str() ? shorterText : scratch.c_str(), key.c_str() + zeros,
            keyType, list.utf8.get()};
}

FieldAnswer AskField(const Plugin& plugin, const FieldRow& field, const RomQuery& rom,
                     Asking asking) {
    const Utf8Lookups::Scope locale(rom.utf8);
    if (field.textExport == nullptr) {
        const int32_t number = plugin.GetImgNum(rom.listText, rom.key, rom.keyType);
        return {number, number < 0 ? "" : std::to_string(number)};
    }
    const TextExport text = plugin.*field.textExport;
    const auto query = [&](char** out, int32_t outSize) {
        return text(rom.listText, rom.key, rom.keyType, out, outSize);
    };
    return asking == Asking::kLikeHost ? AskLikeHost(query) : AskWithRoomyBuffer(query);
}

FieldAnswer AskIdentity(IdentityExport identity) {
    return AskLikeHost([&](char** out, int32_t outSize) { return identity(out, outSize); });
}

RomAnswer LookUpRom(const Plugin& plugin, const GameList& list, const std::string& key,
                    int32_t keyType) {
    RomAnswer answer{"", key, {}, list.encoding};
    std::string record;
    const RomQuery rom = QueryFor(plugin, list, key, keyType, record);
    for (const FieldRow& field : kFields) {
        answer.fields[IndexOf(field.field)] = AskField(plugin, field, rom, Asking::kLikeHost);
    }
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
