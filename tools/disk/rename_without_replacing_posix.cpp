#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/disk/files.h"

namespace {

// The flag of renameat2(2); older kernel headers lack the name.
constexpr unsigned kRenameNoReplace = 1;

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
RenameResult LinkThenUnlink(const char* from, const char* to, std::string& error) {
    if (link(from, to) != 0) {
        if (errno == EEXIST) return RenameResult::TargetExists;
        // exfat-fuse answers EPERM: no hard links on the file system at all.
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK) {
            return RenameResult::CannotRefuse;
        }
        error = std::strerror(errno);
        return RenameResult::Failed;
    }
    if (unlink(from) != 0) {
        error = std::strerror(errno);
        unlink(to);  // back to the one name it had; the file itself is untouched
        return RenameResult::Failed;
    }
    return RenameResult::Renamed;
}

}  // namespace

RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error) {
    if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return RenameResult::Renamed;
    if (errno == EEXIST) return RenameResult::TargetExists;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        return LinkThenUnlink(from.c_str(), to.c_str(), error);
    }
    error = std::strerror(errno);
    return RenameResult::Failed;
}
