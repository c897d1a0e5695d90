// capture: grabs a frame from the camera given by index about every 500 ms into webcam.jpg in the
// current directory, until a grab fails. Nothing on standard output; diagnostics on error output.
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>

#include "grabber/frame_writer.h"

int main(int argc, char** argv) {
    int index = argc > 1 ? std::atoi(argv[1]) : 0;
    // The library's own warnings would otherwise come before our diagnostic line, and only the
    // first line reaches the user.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cv::VideoCapture camera(index);
    if (!camera.isOpened()) {
        std::fprintf(stderr,
                     "No camera with index %d could be opened (failed check: capture != ((void *)0))\n",
                     index);
        return 1;
    }
    RequestFrameSize(camera);
    WriteFramesUntilGrabFails(camera, "");
    // The camera was lost or stopped delivering.
    return 1;
}
