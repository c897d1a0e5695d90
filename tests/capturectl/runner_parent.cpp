// A program that starts a child through the process runner and is then killed, so that a test
// can see what becomes of the child when its program ends abruptly.
// Arguments: the child program, a pid file the child writes, and "end" (ask for the child to
// end with the program) or "stay".
#include <signal.h>
#include <unistd.h>

#include <string>

#include "capturectl/process_runner.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    int options = processKeepHandle | processConnectError;
    if (std::string(argv[3]) == "end") options |= processEndWithProgram;
    int32_t handle = RunProcess(argv[1], std::string("pidfile:") + argv[2] + " say:ready forever", "", options);
    if (handle <= 0) return 3;
    for (int wait = 0; wait < 1000 && ReadProcessErrorLine(handle) != "ready"; ++wait) usleep(10000);
    kill(getpid(), SIGKILL);
    return 4;
}
