// One watcher thread per started child: it drains the child's pipes while the child runs and
// reaps it when it ends, so no zombie remains, killing what is left of a group it leads first;
// and the lock-free table of live children through which the fatal-error path can still kill them.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>

#include "capturectl/process_record.h"

// What the system's process tools call a watcher thread.
inline constexpr const char* watcherThreadName = "lumora-watcher";

// Starts the detached watcher; false when no thread could be made.
bool StartWatcher(const std::shared_ptr<ProcessRecord>& record);

// Enters a child under its handle, with whether the fatal-error path kills its group; returns
// the slot, or -1 when the table is full (such a child cannot be killed from that path).
int ClaimFatalSlot(int32_t handle, pid_t pid, bool ownGroup);

// Leaves the table before the child is reaped. False when the fatal-error path has taken the
// child meanwhile: it must then stay unreaped, because its process id may be killed any moment.
bool ReleaseFatalSlot(int slot, pid_t pid);
