// A signal stack of the thread's own (sigaltstack is per thread), with an inaccessible page below
// it so that a handler that overran it would fault at once rather than write over other memory.
#include "core/fault_stack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace {

// The handler's deepest path (the directory reading with its 4 KiB buffer) fits many times over.
constexpr size_t usableSize = 64 * 1024;

size_t GuardSize() { return size_t(sysconf(_SC_PAGESIZE)); }

}  // namespace

ThreadFaultStack::ThreadFaultStack() {
    void* area = mmap(nullptr, GuardSize() + usableSize, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (area == MAP_FAILED) return;
    mprotect(area, GuardSize(), PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(area) + GuardSize();
    stack.ss_size = usableSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(area, GuardSize() + usableSize);
        return;
    }
    area_ = area;
}

ThreadFaultStack::~ThreadFaultStack() {
    if (!area_) return;
    // The kernel must forget the stack before its memory goes.
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(area_, GuardSize() + usableSize);
}
