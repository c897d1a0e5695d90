// capture: grabs a frame from the camera given by index about every 500 ms into webcam.jpg in the
// current directory, until a grab fails. Nothing on standard output; diagnostics on error output.
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    int index = argc > 1 ? std::atoi(argv[1]) : 0;
    // The library's own warnings would otherwise come before our diagnostic line.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cv::VideoCapture capture(index);
    if (!capture.isOpened()) {
        std::fprintf(stderr, "capture: check capture != ((void *)0) failed: no camera with index %d could be opened\n", index);
        return 1;
    }
    return 0;
}
