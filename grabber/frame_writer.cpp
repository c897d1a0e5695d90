// Writing frames for the capture helper. The temporary name must end in ".jpg" because the
// encoder is chosen by the file name's ending.
#include "grabber/frame_writer.h"

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <thread>

namespace {
constexpr const char* frameName = "webcam.jpg";
constexpr const char* partialFrameName = "webcam.new.jpg";
}  // namespace

void RequestFrameSize(cv::VideoCapture& source) {
    source.set(cv::CAP_PROP_FRAME_WIDTH, requestedFrameWidth);
    source.set(cv::CAP_PROP_FRAME_HEIGHT, requestedFrameHeight);
    source.set(cv::CAP_PROP_BUFFERSIZE, 1);
}

bool WriteFrame(const cv::Mat& frame, const std::string& folder) {
    std::string partial = folder + partialFrameName;
    bool written = false;
    try {
        written = cv::imwrite(partial, frame);
    } catch (const cv::Exception&) {
        written = false;
    }
    if (written && std::rename(partial.c_str(), (folder + frameName).c_str()) == 0) return true;
    std::remove(partial.c_str());
    return false;
}

int WriteFramesUntilGrabFails(cv::VideoCapture& source, const std::string& folder) {
    int written = 0;
    cv::Mat frame;
    for (;;) {
        // OpenCV hands each buffer back to the driver as soon as its frame is read, and a driver
        // fills every buffer it holds with the first frames after that and drops the rest: at the
        // end of the pause every buffer holds a frame from its start. They are passed over, and
        // the read then waits for the next new frame. The count is what the driver granted, which
        // may be more than the one asked for; sources other than cameras say 0.
        int buffers = static_cast<int>(source.get(cv::CAP_PROP_BUFFERSIZE));
        bool grabbed = true;
        for (int stale = 0; grabbed && stale < buffers; ++stale) grabbed = source.grab();
        if (!grabbed || !source.read(frame) || frame.empty()) break;
        // A frame that cannot be saved is skipped; the next one may well succeed.
        if (WriteFrame(frame, folder)) ++written;
        std::this_thread::sleep_for(framePause);
    }
    return written;
}
