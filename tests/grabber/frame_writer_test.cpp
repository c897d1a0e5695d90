// The capture helper's grab-and-write loop with real OpenCV on stand-in sources that the test
// makes (an MJPG video and an image sequence), watched by a concurrent reader of webcam.jpg.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "grabber/frame_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A colour per frame (indices 0 to 6), far enough apart to survive JPEG compression and far
// enough from 0 and 255 that the noise below does not clip.
cv::Scalar FrameColour(int index) { return cv::Scalar(30 + 30 * index, 220 - 30 * index, 60 + 25 * index); }

// Noise makes the JPEG big, so that writing it takes long enough for a reader to run into.
cv::Mat MakeFrame(int index, cv::Size size) {
    cv::Mat noise(size, CV_8UC3);
    cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(40));
    cv::Mat frame(size, CV_8UC3, FrameColour(index) - cv::Scalar::all(20));
    return frame + noise;
}

bool CloseTo(const cv::Mat& image, cv::Scalar colour) {
    cv::Scalar mean = cv::mean(image);
    for (int channel = 0; channel < 3; ++channel)
        if (std::abs(mean[channel] - colour[channel]) > 12) return false;
    return true;
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// What a concurrent reader of webcam.jpg saw.
struct ReaderLog {
    int reads = 0;
    int torn = 0;
    std::vector<std::pair<Clock::time_point, std::string>> changes;  // first sight of each content
};

ReaderLog ReadWhile(const std::string& path, const std::atomic<bool>& running) {
    ReaderLog log;
    std::string last;
    while (running) {
        std::string bytes = ReadFileText(path);
        if (!bytes.empty()) {
            ++log.reads;
            bool whole = bytes.size() > 4 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xD8 &&
                         uint8_t(bytes[bytes.size() - 2]) == 0xFF && uint8_t(bytes.back()) == 0xD9 &&
                         !cv::imdecode(std::vector<uint8_t>(bytes.begin(), bytes.end()), cv::IMREAD_COLOR).empty();
            if (!whole) ++log.torn;
            if (whole && bytes != last) log.changes.emplace_back(Clock::now(), bytes);
            last = bytes;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return log;
}

struct LoopResult {
    int written = 0;
    Clock::duration elapsed{};
    ReaderLog log;
};

LoopResult RunLoopWithReader(cv::VideoCapture& source, const std::string& folder) {
    std::atomic<bool> running{true};
    ReaderLog log;
    std::thread reader([&] { log = ReadWhile(folder + "webcam.jpg", running); });
    LoopResult result;
    auto start = Clock::now();
    result.written = WriteFramesUntilGrabFails(source, folder);
    result.elapsed = Clock::now() - start;
    running = false;
    reader.join();
    result.log = std::move(log);
    return result;
}

double MeanGapMilliseconds(const ReaderLog& log) {
    if (log.changes.size() < 2) return 0;
    auto span = log.changes.back().first - log.changes.front().first;
    return std::chrono::duration<double, std::milli>(span).count() / double(log.changes.size() - 1);
}

}  // namespace

TEST(FrameLoop, VideoSourceFramesAppearTwiceASecondWholeAndInOrder) {
    TempDir source, out;
    const int frames = 6;
    const cv::Size size(800, 600);
    std::string video = source.File("stand-in.avi");
    {
        cv::VideoWriter writer(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 2, size);
        ASSERT_TRUE(writer.isOpened());
        for (int i = 0; i < frames; ++i) writer.write(MakeFrame(i, size));
    }
    cv::VideoCapture capture(video);
    ASSERT_TRUE(capture.isOpened());
    RequestFrameSize(capture);

    LoopResult result = RunLoopWithReader(capture, out.path() + "/");

    EXPECT_EQ(result.written, frames);
    EXPECT_EQ(result.log.torn, 0) << "of " << result.log.reads << " reads";
    EXPECT_GT(result.log.reads, 100);
    ASSERT_EQ(result.log.changes.size(), size_t(frames));
    for (int i = 0; i < frames; ++i) {
        const std::string& bytes = result.log.changes[i].second;
        cv::Mat seen = cv::imdecode(std::vector<uint8_t>(bytes.begin(), bytes.end()), cv::IMREAD_COLOR);
        EXPECT_TRUE(CloseTo(seen, FrameColour(i))) << "frame " << i;
        // The source ignores the 320 x 240 request; its frames keep their own size.
        EXPECT_EQ(seen.size(), size);
    }
    double gap = MeanGapMilliseconds(result.log);
    EXPECT_GT(gap, 450);
    EXPECT_LT(gap, 900);
    EXPECT_GT(result.elapsed, std::chrono::milliseconds(frames * 500 - 100));
    EXPECT_EQ(FileNames(out.path()), std::vector<std::string>{"webcam.jpg"});
}

TEST(FrameLoop, ImageSequenceEndsAfterItsLastFrameWhichStays) {
    TempDir source, out;
    const cv::Size size(320, 240);
    for (int i = 1; i <= 3; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.jpg", i);
        ASSERT_TRUE(cv::imwrite(source.File(name), MakeFrame(i, size)));
    }
    cv::VideoCapture capture(source.File("%03d.jpg"), cv::CAP_IMAGES);
    ASSERT_TRUE(capture.isOpened());

    LoopResult result = RunLoopWithReader(capture, out.path() + "/");

    EXPECT_EQ(result.written, 3);
    EXPECT_EQ(result.log.torn, 0);
    EXPECT_EQ(result.log.changes.size(), 3u);
    cv::Mat last = cv::imread(out.File("webcam.jpg"));
    EXPECT_EQ(last.size(), size);
    EXPECT_TRUE(CloseTo(last, FrameColour(3)));
    EXPECT_EQ(FileNames(out.path()), std::vector<std::string>{"webcam.jpg"});
}

TEST(WriteFrame, FailureLeavesNoFileBehind) {
    TempDir out;
    EXPECT_FALSE(WriteFrame(cv::Mat(), out.path() + "/"));
    EXPECT_FALSE(WriteFrame(MakeFrame(1, cv::Size(8, 8)), out.path() + "/missing/"));
    EXPECT_TRUE(FileNames(out.path()).empty());
}
