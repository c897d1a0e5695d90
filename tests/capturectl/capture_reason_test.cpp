// The helper's argument made from the device setting and the reason made from its first line.
#include <gtest/gtest.h>

#include "capturectl/capture_reason.h"

TEST(CameraIndexArgument, NumberValueCutToItsLow32Bits) {
    EXPECT_EQ(CameraIndexArgument("0"), "0");
    EXPECT_EQ(CameraIndexArgument("letters"), "0");
    EXPECT_EQ(CameraIndexArgument(""), "0");
    EXPECT_EQ(CameraIndexArgument(" 12"), "12");
    EXPECT_EQ(CameraIndexArgument("-3"), "-3");
    EXPECT_EQ(CameraIndexArgument("$10"), "16");
    EXPECT_EQ(CameraIndexArgument("%101"), "5");
    EXPECT_EQ(CameraIndexArgument("4294967296"), "0");
    EXPECT_EQ(CameraIndexArgument("4294967295"), "-1");
    EXPECT_EQ(CameraIndexArgument("2147483648"), "-2147483648");
    EXPECT_EQ(CameraIndexArgument("7 cameras"), "7");
}

TEST(CaptureFailureReason, PathThenDirectoryThenEveryCaptureThenSpaces) {
    const std::string dir = "/tmp/lmr1/";
    EXPECT_EQ(CaptureFailureReason("/tmp/lmr1/capture: error while loading shared libraries", dir),
              ": error while loading shared libraries");
    EXPECT_EQ(CaptureFailureReason("cannot write /tmp/lmr1/webcam.jpg", dir), "cannot write webcam.jpg");
    EXPECT_EQ(CaptureFailureReason("Recapture of captured frames", dir), "Re of d frames");
    EXPECT_EQ(CaptureFailureReason(
                  "No camera with index 3 could be opened (failed check: capture != ((void *)0))", dir),
              "No camera with index 3 could be opened (failed check:  != ((void *)0))");
    EXPECT_EQ(CaptureFailureReason("  inner  spaces stay\t ", dir), "inner  spaces stay\t");
}

TEST(CaptureFailureReason, NothingLeftIsUnknownError) {
    EXPECT_EQ(CaptureFailureReason("", "/tmp/lmr/"), "Unknown error");
    EXPECT_EQ(CaptureFailureReason("   ", "/tmp/lmr/"), "Unknown error");
    EXPECT_EQ(CaptureFailureReason(" capture /tmp/lmr/capture ", "/tmp/lmr/"), "Unknown error");
}
