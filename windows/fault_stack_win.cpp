// On Windows a thread whose stack overflows gets only a few KiB for its exception filter; this
// reserves more of its own stack for that, so the fatal-error filter can still run there.
#include "core/fault_stack.h"

#include <windows.h>

ThreadFaultStack::ThreadFaultStack() {
    ULONG reserve = 64 * 1024;
    SetThreadStackGuarantee(&reserve);
}

ThreadFaultStack::~ThreadFaultStack() = default;
