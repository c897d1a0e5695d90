// The Windows build's fatal-error handler: the handler of unhandled exceptions (and of aborts),
// which shows one message on the faulting thread, removes the working directory's files and the
// directory, and ends the process with status 1.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "program/fatal_error.h"
#include "core/program_state.h"
#include "program/workdir.h"
#include "windows/wide_text.h"

namespace {

std::atomic<bool> handling{false};

[[noreturn]] void EndWithStatusOne() {
    programState.exitCode = 1;
    TerminateProcess(GetCurrentProcess(), 1);
    // TerminateProcess does not come back for the own process; should it ever:
    std::_Exit(1);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) { OnFatalError(); }

void OnAbort(int) { OnFatalError(); }

}  // namespace

void OnFatalError() {
    // A fault while the handler runs, on this thread or another, ends the process at once.
    if (handling.exchange(true)) EndWithStatusOne();
    const ProgramState& s = programState;
    MessageBoxW(nullptr, WideText(s.textUnknownError).c_str(), WideText(s.textErrorTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    CleanUpWorkDir();
    EndWithStatusOne();
}

void InstallFatalErrorHandler() {
    SetUnhandledExceptionFilter(OnUnhandledException);
    // abort() raises the signal before the runtime's own report, and the handler never returns.
    std::signal(SIGABRT, OnAbort);
}
