// The files qbt writes of its own accord (the missing list): never over a file of the user's. A
// name that is taken is refused unless --replace allows it, and even then only a file of the
// same sort as the output (a game list), not one qbt is reading, and not one inside the folders
// it reads, so that a slip of the keyboard cannot cost a ROM or a list.
//
//   const OutputRules rules{replace, "a game list", IsAList, {{listPath, "the game list"}},
//                           auditedPaths};
//   if (const std::string why = WhyNotWritable(path, rules, disk); !why.empty()) refuse(why);
//   ... the work ...
//   const std::string failure = WriteOutput(path, text, rules, disk);
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/disk/output_disk.h"

struct OutputRules {
    bool replace = false;  // --replace
    // What the output is ("a game list"), and whether a file of these bytes is one.
    std::string kind;
    std::function<bool(std::string_view)> replaceable;
    // Files never replaced, with what they are ("the game list").
    std::vector<std::pair<std::filesystem::path, std::string>> beingRead;
    std::vector<std::filesystem::path> readUnder;  // paths named to be read, folders and files
};

// Why the output may not go to `path` ("" when it may): the name is taken and `replace` is off;
// or what has it is no file, a symbolic link, a file being read, inside a folder being read, or
// not `replaceable`.
std::string WhyNotWritable(const std::filesystem::path& path, const OutputRules& rules,
                           CollectionDisk& disk);

// Writes `content` under a free temporary name beside `path`, then gives it the name: never
// over a file that took the name meanwhile, and over one that was there only if it may still be
// replaced. The reason it could not be written, or "": then no temporary file is left.
std::string WriteOutput(const std::filesystem::path& path, std::string_view content,
                        const OutputRules& rules, OutputDisk& disk);
