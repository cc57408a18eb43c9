// Moving a file's name without ever replacing another file, each move journaled first; and the
// name and path helpers that rename and undo share. Names are compared as FAT, exFAT and Windows
// compare them, so a plan made on Linux holds on a card too.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tools/journal.h"

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8Of(const std::filesystem::path& path);
std::filesystem::path Absolute(const std::filesystem::path& path);

// Something, even a dangling link, has the name.
bool Exists(const std::filesystem::path& path);

// How FAT, exFAT and Windows compare names, as far as a plan needs: ASCII letters without case.
std::string Folded(std::string_view name);

// Whether `name` is the very entry `existing` names, seen through a file system that ignores
// case. Hard links are one file under two entries, so the folder must lack `name` as spelt.
bool IsSameEntry(const std::filesystem::path& existing, const std::filesystem::path& name);

enum class Move { kMoved, kNameTaken, kRefused, kJournalFailed };

// Gives the file `from` the name `to`, never replacing anything; the journal line first (no
// journal: null). A change of letter case only, on a file system that takes `to` for the file's
// own name, goes through a free name in two journaled steps. `error` says why a move failed.
Move MoveName(const std::filesystem::path& from, const std::filesystem::path& to,
              JournalWriter* journal, std::string& error);
