// Non-blocking draining of a child's pipes: standard output is read and dropped, error output
// is kept for ReadProcessErrorLine up to a limit, so a chatty child never blocks on a full pipe.
#include "capturectl/process_record.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Only the first lines matter to anybody; beyond this the child's error output is dropped.
constexpr size_t errorTextLimit = 64 * 1024;
// A pipe that keeps filling is revisited on the next call rather than read for ever now.
constexpr int readsPerDrain = 16;

void DrainPipe(int fd, bool& ended, std::string* keep) {
    if (fd < 0 || ended) return;
    char buffer[16384];
    for (int reads = 0; reads < readsPerDrain;) {
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            ++reads;
            if (keep && keep->size() < errorTextLimit)
                keep->append(buffer, std::min(size_t(count), errorTextLimit - keep->size()));
        } else if (count == 0) {
            ended = true;
            return;
        } else if (errno != EINTR) {
            // EAGAIN: empty for now. Anything else: nothing more will ever come.
            if (errno != EAGAIN) ended = true;
            return;
        }
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

void ProcessRecord::DrainPipes() {
    if (pipesClosed) return;
    DrainPipe(outputFd, outputEnded, nullptr);
    DrainPipe(errorFd, errorEnded, &errorText);
}

void ProcessRecord::ClosePipes() {
    CloseFd(outputFd);
    CloseFd(errorFd);
    pipesClosed = true;
}
