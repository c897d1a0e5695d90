// A fuzz target's assertion: libFuzzer keeps the input that aborts as the finding.
#pragma once
#include <cstdlib>

inline void Check(bool condition) {
    if (!condition) std::abort();
}
