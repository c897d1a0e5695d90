// capture: grabs a frame from the camera given by index about every 500 ms into webcam.jpg in the
// current directory, until a grab fails. Nothing on standard output; diagnostics on error output.
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>

#include "grabber/camera_fault.h"
#include "grabber/frame_writer.h"

int main(int argc, char** argv) {
    int index = argc > 1 ? std::atoi(argv[1]) : 0;
    // The library's own warnings would otherwise come before our diagnostic line, and only the
    // first line reaches the user.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // Named, because left to choose OpenCV tries a GStreamer pipeline first where that is
    // installed, and the pipeline fails outright on a camera without 320 x 240.
    cv::VideoCapture camera(index, cv::CAP_V4L2);
    if (!camera.isOpened()) {
        std::fprintf(stderr, "%s\n", DescribeOpenFailure(index).c_str());
        return 1;
    }
    RequestFrameSize(camera);
    int written = WriteFramesUntilGrabFails(camera, "");
    // Released first: the second look opens the device itself.
    camera.release();
    std::fprintf(stderr, "%s\n", DescribeLostCamera(index, written > 0).c_str());
    return 1;
}
