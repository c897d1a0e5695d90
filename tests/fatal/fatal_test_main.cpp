// The entry of the fatal-path test programs. Like the program's own entry it first serves the
// handler's request to show its message: the handler starts this very executable for that.
#include <gtest/gtest.h>

#include "program/fatal_error.h"
#include "desktop/fatal_message.h"

int main(int argc, char** argv) {
    FatalMessageRequest request;
    if (ReadFatalMessageRequest(argc, argv, request)) ShowFatalMessage(request);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
