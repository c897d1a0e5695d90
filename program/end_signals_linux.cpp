// The termination signals only write a byte into a pipe; the main loop watches that pipe, so the
// shutdown runs on the main thread between two events, never inside a signal handler (and no
// thread of the library's own is needed to carry the signal over).
#include "program/end_signals.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "program/fatal_error.h"
#include "program/startup.h"

namespace {

// Every signal whose default action ends the process and that asks it to end rather than reports a
// fault. This process uses none of them for itself: it sets no timer (SIGALRM, SIGVTALRM, SIGPROF)
// and no descriptor for signal-driven input (SIGIO), and GLib, GTK and Xlib install no handler for
// any of them. The program is not built for gprof, whose sampling would need SIGPROF.
constexpr int endSignals[] = {SIGTERM, SIGINT,    SIGHUP,  SIGQUIT, SIGUSR1,   SIGUSR2,
                              SIGALRM, SIGVTALRM, SIGPROF, SIGPWR,  SIGSTKFLT, SIGIO};

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
    CutFatalMessageShortOn(endRequests[0]);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : endSignals) sigaction(signal, &action, nullptr);
}

void EndProgram() {
    // While a fault's message is shown the clean-up waits for it; the handler ends the process.
    YieldToFatalError();
    int status = ShutDown();
    std::fflush(nullptr);
    ExitUnlessFaulted(status);
}
