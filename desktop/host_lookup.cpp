// Name lookups on threads of their own, so that a stalled lookup costs the address check no more
// than the time it has left; the system's lookup itself comes from the download seam.
#include "desktop/host_lookup.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/fault_stack.h"
#include "desktop/download_platform.h"
#include "desktop/host_name.h"

namespace {

// One name lookup, shared by the thread that makes it and whoever waits for it. A wait that runs
// out leaves the lookup to end in its own time; the thread then frees this by letting go of its
// share.
struct Lookup {
    std::string host;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    bool found = false;
    uint32_t address = 0;
};

void LookUp(const std::shared_ptr<Lookup>& lookup) {
    ThreadFaultStack faultStack;
    uint32_t address = 0;
    bool found = LookUpIPv4(lookup->host, address);
    std::lock_guard<std::mutex> guard(lookup->lock);
    lookup->address = address;
    lookup->found = found;
    lookup->done = true;
    lookup->ended.notify_all();
}

// A lookup that outlived its wait; the next check of the same name waits for it again rather
// than starting another one beside it.
std::mutex pendingLock;
std::shared_ptr<Lookup> pending;

std::shared_ptr<Lookup> StartLookup(const std::string& host) {
    std::lock_guard<std::mutex> guard(pendingLock);
    if (pending && pending->host == host) {
        std::lock_guard<std::mutex> state(pending->lock);
        if (!pending->done) return pending;
    }
    auto lookup = std::make_shared<Lookup>();
    lookup->host = host;
    try {
        std::thread(LookUp, lookup).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    pending = lookup;
    return lookup;
}

}  // namespace

bool ResolveHost(const std::string& host, uint32_t& address, int limitMilliseconds) {
    if (ParseIPv4(host, address)) return true;
    std::shared_ptr<Lookup> lookup = StartLookup(host);
    if (!lookup) return false;
    std::unique_lock<std::mutex> guard(lookup->lock);
    if (!lookup->ended.wait_for(guard, std::chrono::milliseconds(limitMilliseconds),
                                [&] { return lookup->done; }))
        return false;
    address = lookup->address;
    return lookup->found;
}
