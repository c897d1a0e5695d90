// Room for the fatal-error handler on every thread the program starts: a fault on a thread whose
// own stack has run full (endless recursion) still reaches the handler, which then runs here.
#pragma once

// Held by a thread procedure for its whole life, declared first in it. The main thread has its
// own, made when the handler is installed.
class ThreadFaultStack {
public:
    ThreadFaultStack();
    ~ThreadFaultStack();
    ThreadFaultStack(const ThreadFaultStack&) = delete;
    ThreadFaultStack& operator=(const ThreadFaultStack&) = delete;

private:
    void* area_ = nullptr;
};
