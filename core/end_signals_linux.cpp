// The termination signals are turned into main-loop callbacks by GLib, so the shutdown runs on the
// main thread between two events, never inside a signal handler.
#include "core/end_signals.h"

#include <glib-unix.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "core/startup.h"

namespace {

gboolean OnTerminationSignal(gpointer) { EndProgram(); }

}  // namespace

void EndProgramOnTerminationSignals() {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(signal, OnTerminationSignal, nullptr);
}

void EndProgram() {
    int status = ShutDown();
    std::fflush(nullptr);
    std::_Exit(status);
}
