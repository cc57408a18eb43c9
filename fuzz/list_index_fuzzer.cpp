// qbt's list index against the whole list: for arbitrary list text, key and key type, every
// export asked over the text the index hands the plug-in answers as it does over the whole list
// (tests/support/index_difference.h), for the key given and for keys the index holds.
// Options byte: key type (bits 0-2), locale (bits 3-4): the process's C locale, in which the
// plug-in follows the environment (LANG=ja_JP.SJIS under ctest), or Shift_JIS or UTF-8 set for
// the thread as a host would.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "tests/support/index_difference.h"

namespace {

void Compare(const ListIndex& index, const FuzzInput& input, const std::string& key,
             std::int32_t keyType) {
    const std::string difference = DifferenceOverIndexedText(index, input.listText, key, keyType);
    if (difference.empty()) return;
    std::fprintf(stderr, "index against the whole list: %s\n", difference.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzInput input = SplitFuzzInput(data, size);
    const std::int32_t keyType = kFuzzKeyTypes[(input.options & 7U) % kFuzzKeyTypeCount];
    UseHostLocale(input.options >> 3);
    const ListIndex index(input.listText);
    Compare(index, input, input.key, keyType);
    // Keys the list holds, so that found records are compared however rare the fuzzer's own
    // key is to hit one.
    constexpr std::size_t kIndexedKeys = 4;
    for (std::size_t i = 0; i < index.Entries().size() && i < kIndexedKeys; ++i) {
        Compare(index, input, index.Entries()[i].key, keyType);
    }
    UseHostLocale(0);
    return 0;
}
