// A crowd of strangers for bench/stranger-memory: one request for the login page from each of
// COUNT loopback addresses of its own (127.10.0.1 onwards), one after the other; prints how many
// were answered and how long the crowd took.
// Usage: stranger-crowd PORT COUNT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/loopback_client.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT COUNT\n", argv[0]);
        return 2;
    }
    int port = std::atoi(argv[1]);
    long count = std::atol(argv[2]);
    auto start = std::chrono::steady_clock::now();
    long answered = 0;
    for (long i = 0; i < count; ++i) {
        std::string source = "127." + std::to_string(10 + i / 62500) + "." + std::to_string(i / 250 % 250) +
                             "." + std::to_string(i % 250 + 1);
        if (!BodyOf(Fetch(source, port, "", 2000)).empty()) ++answered;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld of %ld answered in %.1f s\n", answered, count, seconds);
    return answered == count ? 0 : 1;
}
