// A running server thread over a prepared program state, on a free port below 32768, with the
// stop sequence the main loop uses at the end of each test.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

class RunningServer : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the thread with this port text; true when it reports that its server exists.
    bool StartWithPort(const std::string& portText);
    // Stops as the main loop does: the request, up to 1000 ms, then the forced end.
    void Stop();
    std::string Fetch(const std::string& source, const std::string& path);
    // Waits until userCount has the value, for at most `timeoutMs`.
    bool UserCountBecomes(int32_t value, int timeoutMs);

    TempDir dir;
    int port = 0;
    const std::string sessionId = "3c9e2d4f8a1b7c6d5e4f3a2b1c0d9e8f7a6b5c4d";
};
