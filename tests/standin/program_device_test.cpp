// The real program carrying the real capture, against a camera at the kernel's video interface
// (the stand-in device, preloaded through the environment that the program hands its helper):
// a logged-in browser gets fresh pictures in either pixel format, of the camera's own size where
// it lacks 320 x 240; a busy, a forbidden and an unplugged camera each get a report in the window
// that names the cause, and the server stops.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <opencv2/imgcodecs.hpp>
#include <thread>

#include "core/platform.h"
#include "tests/support/desktop_run.h"
#include "tests/standin/frame_stamp.h"
#include "tests/support/loopback_client.h"
#include "tests/support/window_layout.h"

namespace {

void StartWithCamera(DesktopRun& run, int port, const std::vector<std::string>& camera) {
    std::vector<std::string> environment{std::string("LD_PRELOAD=") + STANDIN_PRELOAD};
    environment.insert(environment.end(), camera.begin(), camera.end());
    run.Start(environment);
    ASSERT_FALSE(run.WaitForWindow(title, mainWidth, mainHeight).empty()) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000));
}

// A point on the message box's text.
constexpr int boxTextX = 30, boxTextY = 20;

void ExpectFreshPicturesServed(const std::vector<std::string>& camera, int width, int height) {
    int port = FreePort();
    DesktopRun run(StoredSettings(port, {{"server", "1"}}), LUMORA_PROGRAM_PATH);
    ASSERT_TRUE(run.DisplayReady());
    StartWithCamera(run, port, camera);
    ASSERT_NE(Fetch("127.0.0.2", port, "login.html?username=anna&password=pw&Login=Login").find("webcam.jpg"),
              std::string::npos);
    std::vector<int> ages;
    // A viewer's pace, twice a second, for four seconds once pictures come.
    for (int request = 0; request < 40 && ages.size() < 8; ++request) {
        std::string body = BodyOf(Fetch("127.0.0.2", port, "webcam.jpg?" + std::to_string(request)));
        uint32_t received = WallClockMilliseconds(), stamp = 0;
        cv::Mat grey;
        if (!body.empty())
            grey = cv::imdecode(std::vector<uint8_t>(body.begin(), body.end()), cv::IMREAD_GRAYSCALE);
        if (!grey.empty() && ReadStamp(grey.data, grey.cols, grey.rows, static_cast<int>(grey.step), stamp)) {
            EXPECT_EQ(grey.cols, width);
            EXPECT_EQ(grey.rows, height);
            ages.push_back(StampAge(stamp, received));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ASSERT_EQ(ages.size(), 8u) << "too few pictures served";
    std::sort(ages.begin(), ages.end());
    // Written twice a second, a picture is 0 to 500 ms old when it is fetched; pictures that
    // waited in the camera's queue would be 2 s old.
    EXPECT_LE(ages[ages.size() / 2], 450) << "median age";
    EXPECT_LE(ages.back(), 1200) << "oldest picture";
    EXPECT_TRUE(run.WaitForWindowNamed("Error", 0).empty()) << "a working camera was reported";
    run.CloseWindow(run.WaitForWindow(title, mainWidth, mainHeight));
    int status = -1;
    ASSERT_TRUE(run.WaitForExit(10000, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The report of the camera's failure as the window shows it, read as a user copies it (three
// clicks select a message box's whole text); the server is stopped after it.
std::string TakeReport(const std::vector<std::string>& camera) {
    int port = FreePort();
    DesktopRun run(StoredSettings(port, {{"server", "1"}}), LUMORA_PROGRAM_PATH);
    if (!run.DisplayReady()) return {};
    StartWithCamera(run, port, camera);
    std::string box = run.WaitForWindowNamed("Error", 15000);
    if (box.empty()) return {};
    std::string text;
    WaitUntil([&] { return !(text = run.FieldText(box, boxTextX, boxTextY)).empty(); }, 5000);
    // The text has the focus now, so Return would not reach OK; Escape closes the box all the same.
    run.Key(box, "Escape");
    EXPECT_TRUE(run.WindowGone(box));
    EXPECT_TRUE(WaitUntil([&] { return !PortAccepts(port); }, 5000))
        << "the server still runs after the report";
    EXPECT_EQ(run.HelperPid(), -1);
    return text;
}

}  // namespace

TEST(ProgramWithCamera, LoggedInBrowserGetsFreshPicturesInEitherFormatAndTheCamerasSize) {
    {
        SCOPED_TRACE("YUYV with 320 x 240");
        ExpectFreshPicturesServed({}, 320, 240);
    }
    {
        SCOPED_TRACE("Motion-JPEG without 320 x 240");
        ExpectFreshPicturesServed({"STANDIN_CAMERA_FORMAT=MJPG", "STANDIN_CAMERA_SIZES=1280x720,640x480"},
                                  640, 480);
    }
}

TEST(ProgramWithCamera, BusyForbiddenAndUnpluggedCamerasAreEachReportedAndStopTheServer) {
    const std::string report = "Can not create webcam captures.\nError message:\n";
    EXPECT_EQ(TakeReport({"STANDIN_CAMERA_FAULT=busy"}),
              report + "The camera /dev/video0 is in use by another program: close it and press Start again.");
    EXPECT_EQ(TakeReport({"STANDIN_CAMERA_FAULT=denied"}),
              report + "No permission to use the camera /dev/video0: add your user to the group video, log in "
                       "again and press Start.");
    EXPECT_EQ(TakeReport({"STANDIN_CAMERA_UNPLUG_AFTER=8"}),
              report + "The camera /dev/video0 was unplugged: plug it in again and press Start.");
}

// The camera's library leaves a process that holds the helper's pipes; the device then refuses
// to start streaming.
TEST(ProgramWithCamera, CameraRefusedAtTheStreamStartIsReportedInUseAndNothingTheHelperLeftStays) {
    TempDir dir;
    OrphanCatcher catcher;
    EXPECT_EQ(TakeReport({"STANDIN_CAMERA_FAULT=busy-at-stream", "STANDIN_CAMERA_SPAWN=" + dir.File("spawned")}),
              "Can not create webcam captures.\nError message:\nThe camera /dev/video0 is in use by another "
              "program: close it and press Start again.");
    EXPECT_TRUE(ReapKilled(ReadPidFile(dir.File("spawned"))));
}
