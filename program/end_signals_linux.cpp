// The termination signals only write a byte into a pipe; the main loop watches that pipe, so the
// shutdown runs on the main thread between two events, never inside a signal handler (and no
// thread of the library's own is needed to carry the signal over).
#include "program/end_signals.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "program/startup.h"

namespace {

int endRequests[2] = {-1, -1};

void OnTerminationSignal(int) {
    char byte = 1;
    ssize_t ignored = write(endRequests[1], &byte, 1);
    (void)ignored;
}

gboolean OnEndRequested(gint, GIOCondition, gpointer) { EndProgram(); }

}  // namespace

void EndProgramOnTerminationSignals() {
    if (pipe2(endRequests, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_unix_fd_add(endRequests[0], G_IO_IN, OnEndRequested, nullptr);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void EndProgram() {
    int status = ShutDown();
    std::fflush(nullptr);
    std::_Exit(status);
}
