#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/disk/files.h"

namespace {

// The flag of renameat2(2); older kernel headers lack the name.
constexpr unsigned kRenameNoReplace = 1;

const DiskError kNameTaken{DiskError::kNameTaken, ""};

DiskError Failed(int number) { return {DiskError::kFailed, std::strerror(number)}; }

// renameat2 through syscall(2): glibc before 2.28 has no wrapper for it.
int RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kRenameNoReplace));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// For file systems whose rename cannot refuse to replace (some network and FUSE ones): a second
// name that link(2) only makes when the name is free, then the first name removed. Until the
// unlink the file has both names, never neither.
DiskResult<> LinkThenUnlink(const char* from, const char* to) {
    if (link(from, to) != 0) {
        if (errno == EEXIST) return kNameTaken;
        // exfat-fuse answers EPERM: no hard links on the file system at all.
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
            return DiskError{DiskError::kCannotRefuse, ""};
        }
        return Failed(errno);
    }
    if (unlink(from) != 0) {
        const DiskError failed = Failed(errno);
        unlink(to);  // back to the one name it had; the file itself is untouched
        return failed;
    }
    return Done{};
}

}  // namespace

DiskResult<> RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
    if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return Done{};
    if (errno == EEXIST) return kNameTaken;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        return LinkThenUnlink(from.c_str(), to.c_str());
    }
    return Failed(errno);
}
