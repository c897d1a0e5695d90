// The second look at a failed camera. Only the first error line reaches the user, and the desktop
// program removes the word for the helper's own name from it, so these lines avoid that word.
#include "grabber/camera_fault.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace {

std::string NodeOf(int index) {
    return "/dev/video" + std::to_string(index);
}

// Whether another program holds the stream: the driver refuses a new format, even the current
// one, while someone else streams. Setting the current format again changes nothing otherwise.
bool HeldByAnotherProgram(int device) {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctl(device, VIDIOC_G_FMT, &format) != 0) return false;
    return ioctl(device, VIDIOC_S_FMT, &format) != 0 && errno == EBUSY;
}

// Whether the driver refuses to start a stream as busy. Some devices take every setting and are
// held only once streaming starts (the stream of another program, a pipeline they share), and
// OpenCV then merely fails its first grab. The probe asks as OpenCV did: one buffer queued, then
// the start.
bool StreamRefusedAsBusy(int device) {
    v4l2_requestbuffers request{};
    request.count = 1;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (ioctl(device, VIDIOC_REQBUFS, &request) != 0) return errno == EBUSY;
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    bool busy = ioctl(device, VIDIOC_QBUF, &buffer) == 0 && ioctl(device, VIDIOC_STREAMON, &type) != 0 &&
                errno == EBUSY;
    ioctl(device, VIDIOC_STREAMOFF, &type);
    request.count = 0;
    ioctl(device, VIDIOC_REQBUFS, &request);
    return busy;
}

std::string InUse(const std::string& node) {
    return "The camera " + node + " is in use by another program: close it and press Start again.";
}

// A node that went with its device, or one whose driver no longer has a device behind it.
bool NodeGone(const std::string& node) {
    int device = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device < 0) return errno == ENOENT || errno == ENODEV || errno == ENXIO;
    v4l2_capability capability{};
    bool gone = ioctl(device, VIDIOC_QUERYCAP, &capability) != 0 && errno == ENODEV;
    close(device);
    return gone;
}

}  // namespace

std::string DescribeOpenFailure(int index) {
    const std::string fixed = "No camera with index " + std::to_string(index) +
                              " could be opened (failed check: capture != ((void *)0))";
    // A negative index lets OpenCV take the first camera it finds: no one node to ask.
    if (index < 0) return fixed + ": check that a camera is connected and free, and press Start.";
    std::string node = NodeOf(index);
    int device = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device < 0) {
        if (errno == EACCES || errno == EPERM)
            return "No permission to use the camera " + node +
                   ": add your user to the group video, log in again and press Start.";
        if (errno == EBUSY) return InUse(node);
        if (errno == ENOENT || errno == ENODEV || errno == ENXIO)
            return fixed + ": no camera is connected as " + node +
                   "; connect it, or choose another camera in the settings, and press Start.";
        return fixed;
    }
    bool busy = HeldByAnotherProgram(device);
    close(device);
    if (busy) return InUse(node);
    return fixed;
}

std::string DescribeLostCamera(int index, bool anyPicture) {
    if (index >= 0 && NodeGone(NodeOf(index)))
        return "The camera " + NodeOf(index) + " was unplugged: plug it in again and press Start.";
    if (index >= 0 && !anyPicture) {
        int device = open(NodeOf(index).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        bool busy = device >= 0 ? HeldByAnotherProgram(device) || StreamRefusedAsBusy(device) : errno == EBUSY;
        if (device >= 0) close(device);
        if (busy) return InUse(NodeOf(index));
    }
    return "The camera stopped sending pictures: press Start to try again.";
}
