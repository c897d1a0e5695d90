// lumora carries its helper program byte for byte: the built capture, or whatever LUMORA_HELPER
// names; the test build lumora-standin carries the stand-in camera.
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

void ExpectCarried(const std::string& program, const std::string& helper) {
    std::string programBytes = ReadFileText(program);
    std::string helperBytes = ReadFileText(helper);
    ASSERT_FALSE(programBytes.empty()) << program;
    ASSERT_FALSE(helperBytes.empty()) << helper;
    EXPECT_NE(programBytes.find(helperBytes), std::string::npos) << program << " lacks " << helper;
}

}  // namespace

TEST(HelperEmbedding, ProgramCarriesTheHelperItWasBuiltWith) {
    ExpectCarried(LUMORA_PROGRAM_PATH, LUMORA_HELPER_PATH);
    ExpectCarried(LUMORA_STANDIN_PATH, FAKE_CAMERA_PATH);
}
