// How a step on the disk failed, as a value: what the callers of the disk tell apart (a name
// that is taken is no failure of the system, and a rename the file system cannot refuse to turn
// into a replacement is done another way), with the system's own words.
//
//   DiskResult<> renamed = disk.Rename(from, to);
//   if (!renamed.Ok() && renamed.Why().kind == DiskError::kNameTaken) ...
#pragma once

#include <string>

#include "tools/base/result.h"

struct DiskError {
    enum Kind {
        kFailed,        // the system refused, for `reason`
        kNameTaken,     // something already answers to the name: nothing was replaced
        kCannotRefuse,  // nothing was done: the file system cannot refuse to replace a file
        kMissing,       // nothing answers to the name
        kNotAFile,      // what answers to the name is no regular file (a folder, a device)
    };
    Kind kind = kFailed;
    std::string reason;  // the system's words, in the terminal's codeset
};

template <typename T = Done>
using DiskResult = Result<T, DiskError>;
