// The host's IPv4 address for the address check within the time that is left of it, although the
// system's name lookup cannot be cut short: the lookup runs on a thread of its own and is waited for.
#pragma once
#include <cstdint>
#include <string>

// A dotted address at once; a name through the system's lookup, waited for at most
// `limitMilliseconds`. The address in host byte order; false when the name is unknown, the lookup
// failed or it did not end in time. A lookup that outlived its wait is waited for again by the
// next call for the same name instead of another one being started beside it.
bool ResolveHost(const std::string& host, uint32_t& address, int limitMilliseconds);
