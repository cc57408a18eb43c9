// The list index's proof: every export asked over the text the index hands the plug-in for a key,
// and over the whole list, must answer alike. Shared by the differential test and the fuzzer;
// calls the exports linked in, as the other yardsticks do.
#pragma once

#include <cstdint>
#include <string>

#include "tools/lists/list_index.h"

// "" when every export agrees over both texts: size queries, copies into buffers of several
// sizes (the bytes written compared too), and GetImgNum. Otherwise the first difference, in
// words. `index` is built from `listText`.
std::string DifferenceOverIndexedText(const ListIndex& index, const std::string& listText,
                                      const std::string& key, std::int32_t keyType);

// The same comparison between any two list texts: "" when every export answers alike.
std::string DifferenceBetweenLists(const char* expectedList, const char* list,
                                   const std::string& key, std::int32_t keyType);
