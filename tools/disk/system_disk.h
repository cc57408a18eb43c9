// The file system the process sees, as a Disk: made once, and handed from the commands in cli/
// to everything below them, which never asks for it themselves.
#pragma once

#include "tools/disk/disk.h"

Disk& SystemDisk();
