// Letter case as the folders that ignore it compare names: FAT, exFAT and NTFS upper-case every
// letter of both names, not only ASCII ones, so `ærøskøbing` and `ÆRØSKØBING` are one name
// there. Folded by the system's own tables (Linux: the C library's for C.UTF-8, loaded with
// newlocale and never made the process's or a thread's locale; Windows: the file system's
// upper case, the one CompareStringOrdinal ignores), never by a table of qbt's own.
//
// For deciding which names a folder takes for one. What must not depend on the system (the
// plug-in's keys, encodings, extensions) keeps the ASCII folding of ascii.h.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 name with each character upper-cased as those file systems do; bytes that are not
// UTF-8 (a Linux name may hold any) stay as they are, so two such names stay apart. ASCII
// folding only where the system has no such tables.
std::string FoldedName(std::string_view utf8);
