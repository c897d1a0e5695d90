// The grab-and-write loop of the capture helper, apart from the camera it reads, so that it can
// also run on any other video source.
#pragma once
#include <opencv2/core/mat.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <string>

inline constexpr int requestedFrameWidth = 320;
inline constexpr int requestedFrameHeight = 240;
inline constexpr std::chrono::milliseconds framePause{500};

// Asks for 320 x 240 (a source that cannot deliver it keeps its own size) and for a single
// buffer, so that a camera keeps no frames queued for the half second between two writes.
void RequestFrameSize(cv::VideoCapture& source);

// Writes the frame to `folder` + "webcam.jpg" (folder "" or ending in "/") through a temporary
// .jpg beside it that is renamed over it, so that a reader never sees half a picture.
bool WriteFrame(const cv::Mat& frame, const std::string& folder);

// Grabs, writes and pauses 500 ms, until a grab fails; returns the number of frames written.
// Before each write the frames that a camera queued during the pause are passed over, so that
// the frame written is one taken at most one frame interval earlier.
int WriteFramesUntilGrabFails(cv::VideoCapture& source, const std::string& folder);
