// The seam between qbt and the file system: each caller takes the narrow disk it uses (reading a
// collection, renaming and undoing, writing outputs, the journal), and a Disk is all of them. The
// system's disk (system_disk.h) is handed down from the commands in cli/; the dry run works on a
// PretendDisk (pretend_disk.h) over it, and tests on a FakeDisk (fake_disk.h).
#pragma once

#include "tools/disk/collection_disk.h"
#include "tools/disk/journal_disk.h"
#include "tools/disk/output_disk.h"
#include "tools/disk/renaming_disk.h"

class Disk : public virtual CollectionDisk,
             public virtual RenamingDisk,
             public virtual OutputDisk,
             public virtual JournalDisk {};
