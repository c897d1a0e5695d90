// The Linux working directory's helper file, and its removal with everything in it at the end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "capturectl/process_runner.h"
#include "core/constants.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "program/workdir.h"
#include "program/workdir_removal.h"

extern const unsigned char helperImage[];
extern const std::size_t helperImageSize;

bool InstallHelper(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < helperImageSize) {
        ssize_t n = write(fd, helperImage + done, helperImageSize - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    // Closed before it is made executable: a file still open for writing cannot be run.
    bool written = close(fd) == 0 && done == helperImageSize;
    struct stat info;
    if (lstat(path, &info) != 0) return false;
    return chmod(path, (info.st_mode & 07777) | 0173) == 0 && written;
}

void CleanUpWorkDir() {
    const ProgramState& s = programState;
    // Killed first: a helper left running would go on writing frames into the directory.
    int32_t helper = s.helperProcess.load(std::memory_order_acquire);
    if (helper > 0 && ProcessRunning(helper)) KillProcess(helper);
    if (s.workDir.empty()) return;
    RemoveWorkDirFiles(s.jpegPath.c_str(), (s.workDir + helperFileName).c_str(),
                       StripTrailingSlash(s.workDir).c_str());
}
