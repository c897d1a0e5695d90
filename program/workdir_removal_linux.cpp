// The working directory's removal, read with the bare getdents64 call so that nothing allocates.
#include "program/workdir_removal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int removalAttempts = 10;
constexpr long removalPauseNanoseconds = 10'000'000;

// Unlinks the regular files directly inside the open directory.
void RemoveRegularFiles(int dir) {
    alignas(8) char entries[4096];
    long length;
    while ((length = syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0) {
        for (long at = 0; at < length;) {
            auto* entry = reinterpret_cast<dirent64*>(entries + at);
            at += entry->d_reclen;
            struct stat info;
            bool regular = entry->d_type == DT_REG ||
                           (entry->d_type == DT_UNKNOWN &&
                            fstatat(dir, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISREG(info.st_mode));
            if (regular) unlinkat(dir, entry->d_name, 0);
        }
    }
}

}  // namespace

void RemoveWorkDirFiles(const char* jpegPath, const char* helperPath, const char* directory) {
    unlink(jpegPath);
    unlink(helperPath);
    // A helper killed a moment ago may still finish the file it was creating after the files
    // were read: the directory is read again, a little later, while something keeps it.
    for (int attempt = 0; attempt < removalAttempts; ++attempt) {
        if (attempt > 0) {
            timespec pause{0, removalPauseNanoseconds};
            nanosleep(&pause, nullptr);
        }
        int dir = open(directory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir < 0) return;
        RemoveRegularFiles(dir);
        close(dir);
        if (rmdir(directory) == 0 || errno != ENOTEMPTY) return;
    }
}
