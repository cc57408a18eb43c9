// A game list of some of a list's records, in the list's own format and encoding: what a
// collector looks for next (the games a collection lacks), readable by the plug-in and by qbt as
// the original is.
//
//     std::vector<const ListIndex::Entry*> missing = ...;  // from the index of the list
//     WriteWholeFile(path, ListOfRecords(index, missing));
#pragma once

#include <string>
#include <vector>

#include "tools/lists/list_index.h"

// The list's text before its first record (the declaration and the root element), each record
// of `entries` byte for byte from its "<GAME>" through its "</GAME>" (or to where the next record
// begins), once and in list order, one to a line, and the list's text after its last record (the
// root element's end). Entries outside any record are left out. When the plug-in would decide
// the new list's encoding otherwise than the original's (a list without a declaration that is
// taken for UTF-8 by a value left out), a declaration that decides it alike comes first.
std::string ListOfRecords(const ListIndex& index,
                          const std::vector<const ListIndex::Entry*>& entries);
