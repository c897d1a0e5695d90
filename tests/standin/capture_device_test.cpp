// The built capture program against a camera at the kernel's video interface (the preloaded
// stand-in device): fresh frames of the asked size or of the camera's own, in both pixel formats,
// and a first error line that names the cause for a busy (at the format or at the start of the
// stream), a forbidden, a missing and an unplugged camera.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <thread>
#include <vector>

#include "tests/standin/frame_stamp.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

struct Frame {
    int width = 0, height = 0;
    uint32_t stamp = 0;
    int ageWhenWritten = -1;  // ms from the camera's clock to the file's time
};

// capture with its own empty working folder and the stand-in device in its environment.
class CaptureRun {
public:
    CaptureRun(const std::vector<std::string>& environment, const char* index = "0") {
        std::filesystem::create_directory(folder.File("work"));
        pid = fork();
        if (pid == 0) {
            setenv("LD_PRELOAD", STANDIN_PRELOAD, 1);
            for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
            if (!freopen(folder.File("out").c_str(), "w", stdout) ||
                !freopen(folder.File("error").c_str(), "w", stderr) ||
                chdir(folder.File("work").c_str()) != 0)
                _exit(127);
            execl(CAPTURE_PROGRAM_PATH, CAPTURE_PROGRAM_PATH, index, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~CaptureRun() {
        if (!ended) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
    // Looks at least once, so that 0 asks whether it has ended already.
    bool EndsWithin(int milliseconds) {
        if (!ended) ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, milliseconds);
        return ended;
    }
    std::string FirstErrorLine() const {
        std::string text = ReadFileText(folder.File("error"));
        return text.substr(0, text.find('\n'));
    }
    std::string Output() const { return ReadFileText(folder.File("out")); }
    std::string Picture() const { return folder.File("work") + "/webcam.jpg"; }
    // The distinct frames written while watching for that long.
    std::vector<Frame> Watch(int milliseconds) const {
        std::vector<Frame> frames;
        for (auto until = Clock::now() + std::chrono::milliseconds(milliseconds); Clock::now() < until;) {
            Frame frame;
            if (Read(frame) && (frames.empty() || frames.back().stamp != frame.stamp))
                frames.push_back(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return frames;
    }
    bool Read(Frame& frame) const {
        struct stat info {};
        if (stat(Picture().c_str(), &info) != 0) return false;
        cv::Mat grey = cv::imread(Picture(), cv::IMREAD_GRAYSCALE);
        if (grey.empty() ||
            !ReadStamp(grey.data, grey.cols, grey.rows, static_cast<int>(grey.step), frame.stamp))
            return false;
        frame.width = grey.cols;
        frame.height = grey.rows;
        uint32_t written = static_cast<uint32_t>(info.st_mtim.tv_sec * 1000 + info.st_mtim.tv_nsec / 1000000);
        frame.ageWhenWritten = StampAge(frame.stamp, written);
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    TempDir folder;
    pid_t pid = -1;
    bool ended = false;
    int status = 0;
};

void ExpectFreshFrames(const std::vector<std::string>& environment, int width, int height) {
    CaptureRun run(environment);
    std::vector<Frame> frames = run.Watch(4000);
    ASSERT_GE(frames.size(), 5u) << "frames are not written about twice a second";
    std::vector<int> ages;
    for (const Frame& frame : frames) {
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        ages.push_back(frame.ageWhenWritten);
    }
    std::sort(ages.begin(), ages.end());
    // A frame taken one frame interval (33 ms) before it is written, with room for a busy
    // machine; frames queued during the half-second pause would be 400 ms old or more.
    EXPECT_LE(ages[ages.size() / 2], 150) << "median age when written";
    EXPECT_LE(ages.back(), 350) << "oldest frame written";
    EXPECT_FALSE(run.EndsWithin(0)) << run.FirstErrorLine();
    EXPECT_EQ(run.Output(), "");
}

}  // namespace

TEST(CaptureDevice, FramesAreFreshInTheAskedSizeOrTheCamerasOwn) {
    {
        SCOPED_TRACE("YUYV with 320 x 240");
        ExpectFreshFrames({}, 320, 240);
    }
    {
        SCOPED_TRACE("Motion-JPEG with 320 x 240");
        ExpectFreshFrames({"STANDIN_CAMERA_FORMAT=MJPG"}, 320, 240);
    }
    {
        SCOPED_TRACE("YUYV without 320 x 240: the nearest size");
        ExpectFreshFrames({"STANDIN_CAMERA_SIZES=1280x720,640x480"}, 640, 480);
    }
    {
        SCOPED_TRACE("Motion-JPEG with one size only");
        ExpectFreshFrames({"STANDIN_CAMERA_FORMAT=MJPG", "STANDIN_CAMERA_SIZES=800x600"}, 800, 600);
    }
}

TEST(CaptureDevice, CameraThatCannotBeOpenedOrStartedSaysWhyFirst) {
    struct Case {
        std::vector<std::string> environment;
        const char* index;
        std::string line;
    } cases[] = {
        {{"STANDIN_CAMERA_FAULT=busy"},
         "0",
         "The camera /dev/video0 is in use by another program: close it and press Start again."},
        {{"STANDIN_CAMERA_FAULT=busy-at-stream"},
         "0",
         "The camera /dev/video0 is in use by another program: close it and press Start again."},
        {{"STANDIN_CAMERA_FAULT=denied"},
         "0",
         "No permission to use the camera /dev/video0: add your user to the group video, log in again and "
         "press Start."},
        {{"STANDIN_CAMERA_INDEX=2"},
         "3",
         "No camera with index 3 could be opened (failed check: capture != ((void *)0)): no camera is "
         "connected as /dev/video3; connect it, or choose another camera in the settings, and press Start."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CaptureRun run(c.environment, c.index);
        ASSERT_TRUE(run.EndsWithin(10000));
        EXPECT_EQ(run.FirstErrorLine(), c.line);
        EXPECT_FALSE(std::filesystem::exists(run.Picture()));
        EXPECT_EQ(run.Output(), "");
    }
}

TEST(CaptureDevice, UnpluggedCameraEndsTheProgramWithALineThatSaysSoAndLeavesTheLastFrame) {
    CaptureRun run({"STANDIN_CAMERA_UNPLUG_AFTER=8"});
    ASSERT_TRUE(run.EndsWithin(15000)) << "still running after the camera went";
    EXPECT_EQ(run.FirstErrorLine(),
              "The camera /dev/video0 was unplugged: plug it in again and press Start.");
    Frame last;
    EXPECT_TRUE(run.Read(last)) << "the last frame is gone";
    EXPECT_EQ(run.Output(), "");
}
