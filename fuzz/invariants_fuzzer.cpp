// Every export on arbitrary list text, key, key type, buffer size and locale, checked against
// what a host relies on:
//   - a result is a length that fits the buffer, a size, or one of the result codes;
//   - a failed call leaves the buffer untouched, and a copy writes nothing past its NUL;
//   - the size query and the copy agree, and a short buffer gets a prefix of the value;
//   - a key that is not in the list is reported alike by every field export;
//   - the same call gives the same answer twice.
// Options byte: key type (bits 0-2), locale (bits 3-4). Amount byte: buffer size + 32, so bytes
// below 32 give negative sizes.
#include <locale.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_input.h"
#include "plugin/exports.h"
#include "tests/host_calls.h"

namespace {

constexpr unsigned char kUntouched = 0xA5;

void Require(bool holds, const char* what, const char* exportName) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken by %s: %s\n", exportName, what);
    std::abort();
}

bool IsResultCode(int32_t result) {
    switch (result) {
        case ErrKeyNotFound:
        case ErrFieldNotFound:
        case ErrEmptyValue:
        case ErrBadValue:
        case ErrBadArgument:
        case ErrOutOfMemory: return true;
        default: return false;
    }
}

// A buffer of exactly `size` bytes (so AddressSanitizer sees any write past it), filled with a
// byte that shows which ones were written.
struct Buffer {
    explicit Buffer(int32_t size)
        : size(size > 0 ? static_cast<std::size_t>(size) : 0),
          bytes(new char[this->size + (this->size == 0)]) {
        std::memset(bytes.get(), kUntouched, this->size);
    }
    bool UntouchedFrom(std::size_t first) const {
        for (std::size_t at = first; at < size; ++at) {
            if (static_cast<unsigned char>(bytes[at]) != kUntouched) return false;
        }
        return true;
    }
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

// The whole value, through a size query and a copy into a buffer of exactly that size.
std::string WholeValue(const NamedTextExport& text, const FuzzInput& input, int32_t keyType,
                       int32_t size) {
    Buffer whole(size);
    char* out = whole.bytes.get();
    const int32_t copied =
        text.query(input.listText.c_str(), input.key.c_str(), keyType, &out, size);
    Require(copied == size - 1, "a buffer of the queried size does not get the whole value",
            text.name);
    Require(whole.bytes[static_cast<std::size_t>(copied)] == '\0', "no NUL after the value",
            text.name);
    Require(std::strlen(whole.bytes.get()) == static_cast<std::size_t>(copied),
            "a NUL inside the value", text.name);
    return std::string(whole.bytes.get(), static_cast<std::size_t>(copied));
}

// Returns the size query's result.
int32_t CheckTextExport(const NamedTextExport& text, const FuzzInput& input, int32_t keyType,
                        int32_t outSize) {
    const char* list = input.listText.c_str();
    const char* key = input.key.c_str();
    const int32_t size = text.query(list, key, keyType, nullptr, 0);
    Require(size >= 1 || (IsResultCode(size) && size != ErrBadArgument),
            "a size query gave neither a size nor a lookup's result code", text.name);
    Require(text.query(list, key, keyType, nullptr, 0) == size, "asked twice, answered twice",
            text.name);

    Buffer buffer(outSize);
    char* out = buffer.bytes.get();
    const int32_t copied = text.query(list, key, keyType, &out, outSize);
    if (outSize < 0) {
        Require(copied == ErrBadArgument, "a negative size is not a bad argument", text.name);
        return size;
    }
    if (outSize == 0) {
        Require(copied == size, "two size queries disagree", text.name);
        return size;
    }
    if (size < 0) {
        Require(copied == size, "the copy fails differently from the size query", text.name);
        Require(buffer.UntouchedFrom(0), "a failed call wrote into the buffer", text.name);
        return size;
    }
    const int32_t expected = std::min(size - 1, outSize - 1);
    Require(copied == expected, "the copy's length is not the value's, cut to the buffer",
            text.name);
    const auto length = static_cast<std::size_t>(copied);
    Require(buffer.bytes[length] == '\0', "no NUL after the copy", text.name);
    Require(buffer.UntouchedFrom(length + 1), "bytes past the NUL were written", text.name);
    Require(
        WholeValue(text, input, keyType, size).compare(0, length, buffer.bytes.get(), length) == 0,
        "a short buffer does not get a prefix of the value", text.name);
    return size;
}

void CheckIdentity(IdentityExport query, const char* name, int32_t outSize) {
    const int32_t size = query(nullptr, 0);
    Require(size > 1, "the identity has no size", name);
    Buffer buffer(outSize);
    char* out = buffer.bytes.get();
    const int32_t copied = query(&out, outSize);
    if (outSize < 0) {
        Require(copied == ErrBadArgument, "a negative size is not a bad argument", name);
    } else if (outSize == 0) {
        Require(copied == size, "two size queries disagree", name);
    } else {
        Require(copied == std::min(size - 1, outSize - 1), "the copy's length is wrong", name);
        Require(buffer.UntouchedFrom(static_cast<std::size_t>(copied) + 1),
                "bytes past the NUL were written", name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzInput input = SplitFuzzInput(data, size);
    const int32_t keyType = kFuzzKeyTypes[(input.options & 7U) % kFuzzKeyTypeCount];
    const int32_t outSize = static_cast<int32_t>(input.amount) - 32;
    UseHostLocale(input.options >> 3);

    bool keyMissing = false;
    bool keyFound = false;
    for (const NamedTextExport& text : kTextExports) {
        const int32_t result = CheckTextExport(text, input, keyType, outSize);
        (result == ErrKeyNotFound ? keyMissing : keyFound) = true;
    }
    const int32_t number = GetImgNum(input.listText.c_str(), input.key.c_str(), keyType);
    Require(number >= 0 || (IsResultCode(number) && number != ErrBadArgument),
            "not a value or a lookup's result code", "GetImgNum");
    Require(GetImgNum(input.listText.c_str(), input.key.c_str(), keyType) == number,
            "asked twice, answered twice", "GetImgNum");
    (number == ErrKeyNotFound ? keyMissing : keyFound) = true;
    Require(!(keyMissing && keyFound), "the key is found by some field exports and not others",
            "the field exports");

    CheckIdentity(GetPluginAuthor, "GetPluginAuthor", outSize);
    CheckIdentity(GetPluginInfo, "GetPluginInfo", outSize);
    Require(GetPluginVersion() == 101, "the version changed", "GetPluginVersion");
    UseHostLocale(0);
    return 0;
}
