#include "tools/lists/missing_list.h"

#include <algorithm>

#include "tools/lists/list_encoding.h"

std::string ListOfRecords(const ListIndex& index,
                          const std::vector<const ListIndex::Entry*>& entries) {
    std::vector<const ListIndex::Entry*> records;
    for (const ListIndex::Entry* entry : entries) {
        if (entry->recordStart) records.push_back(entry);
    }
    std::sort(records.begin(), records.end(),
              [](const auto* a, const auto* b) { return *a->recordStart < *b->recordStart; });
    // Two keys of one record are one record.
    records.erase(std::unique(records.begin(), records.end(),
                              [](const auto* a, const auto* b) {
                                  return *a->recordStart == *b->recordStart;
                              }),
                  records.end());

    const std::string_view text = index.Text();
    std::string list(text.substr(0, index.FirstRecord()));
    for (const ListIndex::Entry* record : records) {
        list.append(
            text.substr(*record->recordStart, record->recordThrough - *record->recordStart));
        list += '\n';
    }
    list.append(text.substr(std::max(index.AfterRecords(), index.FirstRecord())));
    if (PluginTakesForUtf8(list) != index.IsUtf8List()) {
        list.insert(0, index.IsUtf8List() ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          : "<?xml version=\"1.0\"?>\n");
    }
    return list;
}
