// A camera for machines without one, preloaded (LD_PRELOAD) into the program that opens it: the
// node /dev/videoN answers the calls of the kernel's video interface as a USB camera's driver
// does, with a timer descriptor of the kernel as the device, so that select and poll on it work.
// Buffers fill on the device's own clock, 30 times a second, in the order they were queued; a
// buffer that nobody queued misses the frames meanwhile, as with a real driver. Every frame
// carries the moment it was taken (frame_stamp.h).
//
// Environment:
//   STANDIN_CAMERA_INDEX         N of /dev/videoN (0)
//   STANDIN_CAMERA_SIZES         sizes offered, "640x480,320x240,160x120" by default
//   STANDIN_CAMERA_FORMAT        YUYV (default) or MJPG
//   STANDIN_CAMERA_FAULT         busy (another program streams), busy-at-stream (the device takes
//                                every setting and refuses only to start streaming) or denied
//                                (no permission)
//   STANDIN_CAMERA_UNPLUG_AFTER  the device goes away after that many frames
//   STANDIN_CAMERA_LOG           a file that receives one line per call, for finding out what a
//                                program asks of a camera
//   STANDIN_CAMERA_SPAWN         a file: the first open starts a process that keeps every
//                                descriptor of the program and waits, as a library's helper
//                                process may; its pid goes to the file
#include <dlfcn.h>
#include <fcntl.h>
// jpeglib.h needs FILE declared before it.
#include <cstdio>
#include <jpeglib.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/standin/frame_stamp.h"

namespace {

constexpr long framePeriodNs = 1000000000L / 30;
constexpr unsigned maxBuffers = 32;

struct Size {
    unsigned width, height;
};

struct Buffer {
    enum State { idle, queued, done } state = idle;
    long queuedAt = 0;  // monotonic ns
    uint32_t bytesUsed = 0;
    uint32_t sequence = 0;
    long takenAt = 0;  // monotonic ns
    uint8_t* memory = nullptr;
};

struct Device {
    int timer = -1;
    int memoryFd = -1;  // the buffers, shared with every mapping the program makes
    bool blocking = false;
    v4l2_pix_format format{};
    std::vector<Buffer> buffers;
    size_t bufferLength = 0;
    uint8_t* memory = nullptr;
    std::deque<unsigned> order;  // queued and done buffers, oldest first
    bool streaming = false;
    long streamStart = 0;
    long ticksSeen = 0;
};

struct Settings {
    std::string node = "/dev/video0";
    std::vector<Size> sizes;
    uint32_t pixelFormat = V4L2_PIX_FMT_YUYV;
    bool busy = false, busyAtStream = false, denied = false;
    long unplugAfter = -1;
    std::string log;
    std::string spawnPidFile;
};

std::mutex lock;
std::map<int, Device> devices;
// Lets every call in a process that never opens the camera (the desktop program carrying the
// helper) pass straight through, without the lock, also between fork and exec.
std::atomic<int> openDevices{0};
long framesTaken = 0;
// Read without the lock by poll in processes that never open the camera.
std::atomic<bool> unplugged{false};

const Settings& Config() {
    static const Settings settings = [] {
        Settings s;
        if (const char* index = getenv("STANDIN_CAMERA_INDEX")) s.node = std::string("/dev/video") + index;
        const char* sizes = getenv("STANDIN_CAMERA_SIZES");
        for (const char* p = sizes ? sizes : "640x480,320x240,160x120"; *p;) {
            unsigned w = 0, h = 0;
            int used = 0;
            if (sscanf(p, "%ux%u%n", &w, &h, &used) != 2) break;
            s.sizes.push_back({w, h});
            p += used;
            if (*p == ',') ++p;
        }
        const char* format = getenv("STANDIN_CAMERA_FORMAT");
        if (format && std::string(format) == "MJPG") s.pixelFormat = V4L2_PIX_FMT_MJPEG;
        const char* fault = getenv("STANDIN_CAMERA_FAULT");
        s.busy = fault && std::string(fault) == "busy";
        s.busyAtStream = fault && std::string(fault) == "busy-at-stream";
        s.denied = fault && std::string(fault) == "denied";
        if (const char* after = getenv("STANDIN_CAMERA_UNPLUG_AFTER")) s.unplugAfter = atol(after);
        if (const char* log = getenv("STANDIN_CAMERA_LOG")) s.log = log;
        if (const char* spawn = getenv("STANDIN_CAMERA_SPAWN")) s.spawnPidFile = spawn;
        return s;
    }();
    return settings;
}

template <typename F>
F Real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using CloseFunction = int (*)(int);
using PollFunction = int (*)(pollfd*, nfds_t, int);
using MapFunction = void* (*)(void*, size_t, int, int, int, off_t);
// The library's own functions, looked up once (the desktop program polls ten times a second),
// and on first use, since other libraries' constructors may call them before ours have run.
CloseFunction realClose() {
    static const auto f = Real<CloseFunction>("close");
    return f;
}
PollFunction realPoll() {
    static const auto f = Real<PollFunction>("poll");
    return f;
}
MapFunction realMap() {
    static const auto f = Real<MapFunction>("mmap");
    return f;
}
auto realIoctl() {
    static const auto f = Real<int (*)(int, unsigned long, void*)>("ioctl");
    return f;
}

void Log(const char* format, ...) {
    if (Config().log.empty()) return;
    FILE* file = fopen(Config().log.c_str(), "a");
    if (!file) return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(file, format, arguments);
    va_end(arguments);
    fputc('\n', file);
    fclose(file);
}

long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000L + now.tv_nsec;
}

int Fail(int error) {
    errno = error;
    return -1;
}

// The offered size nearest to the asked one, measured as the driver of USB cameras measures it.
Size NearestSize(unsigned width, unsigned height) {
    Size best = Config().sizes.front();
    unsigned long bestDistance = ~0ul;
    for (Size s : Config().sizes) {
        unsigned long overlap =
            static_cast<unsigned long>(std::min(s.width, width)) * std::min(s.height, height);
        unsigned long distance = static_cast<unsigned long>(s.width) * s.height +
                                 static_cast<unsigned long>(width) * height - 2 * overlap;
        if (distance < bestDistance) best = s, bestDistance = distance;
    }
    return best;
}

void FillFormat(v4l2_pix_format& pix, unsigned width, unsigned height) {
    Size size = NearestSize(width, height);
    bool yuyv = Config().pixelFormat == V4L2_PIX_FMT_YUYV;
    pix = v4l2_pix_format{};
    pix.width = size.width;
    pix.height = size.height;
    pix.pixelformat = Config().pixelFormat;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = yuyv ? size.width * 2 : 0;
    pix.sizeimage = size.width * size.height * 2;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

uint32_t EncodeJpeg(const std::vector<uint8_t>& grey, unsigned width, unsigned height, uint8_t* out,
                    size_t room) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &bytes, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<uint8_t*>(&grey[info.next_scanline * width]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    uint32_t used = size <= room ? static_cast<uint32_t>(size) : 0;
    if (used) memcpy(out, bytes, used);
    free(bytes);
    return used;
}

void TakePicture(Device& device, Buffer& buffer, long tick) {
    long tickAt = device.streamStart + tick * framePeriodNs;
    unsigned width = device.format.width, height = device.format.height;
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    uint32_t wallAtTick = WallClockMilliseconds() - static_cast<uint32_t>((MonotonicNs() - tickAt) / 1000000);
    DrawStamp(grey.data(), width, height, width, wallAtTick);
    if (device.format.pixelformat == V4L2_PIX_FMT_YUYV) {
        for (size_t i = 0; i < grey.size(); ++i) {
            buffer.memory[2 * i] = grey[i];
            buffer.memory[2 * i + 1] = 128;
        }
        buffer.bytesUsed = width * height * 2;
    } else {
        buffer.bytesUsed = EncodeJpeg(grey, width, height, buffer.memory, device.bufferLength);
    }
    buffer.takenAt = tickAt;
    // Counted in frames of the clock, so that a program sees the ones it missed.
    buffer.sequence = static_cast<uint32_t>(tick - 1);
    buffer.state = Buffer::done;
}

// The frames of the device's clock since the last look, each into the oldest buffer that was
// queued before it came.
void CatchUp(Device& device) {
    long now = MonotonicNs();
    long ticks = (now - device.streamStart) / framePeriodNs;
    for (long tick = device.ticksSeen + 1; tick <= ticks && !unplugged; ++tick) {
        long at = device.streamStart + tick * framePeriodNs;
        bool waiting = false;  // a queued buffer, filled now or by a later frame
        for (unsigned index : device.order) {
            Buffer& buffer = device.buffers[index];
            if (buffer.state != Buffer::queued) continue;
            waiting = true;
            if (buffer.queuedAt > at) continue;
            TakePicture(device, buffer, tick);
            if (++framesTaken == Config().unplugAfter) unplugged = true;
            break;
        }
        // The frames of a long time without queued buffers were dropped all alike.
        if (!waiting) break;
    }
    device.ticksSeen = ticks;
    if (unplugged) {
        // Readable from now on, as a vanished device's node reports an error to every waiter.
        itimerspec soon{};
        soon.it_value.tv_nsec = 1;
        timerfd_settime(device.timer, 0, &soon, nullptr);
    }
}

void StopStream(Device& device) {
    device.streaming = false;
    itimerspec off{};
    timerfd_settime(device.timer, 0, &off, nullptr);
    for (Buffer& buffer : device.buffers) buffer.state = Buffer::idle;
    device.order.clear();
}

void FreeBuffers(Device& device) {
    if (device.memory) munmap(device.memory, device.buffers.size() * device.bufferLength);
    if (device.memoryFd >= 0) realClose()(device.memoryFd);
    device.memory = nullptr;
    device.memoryFd = -1;
    device.buffers.clear();
}

int RequestBuffers(Device& device, v4l2_requestbuffers& request) {
    if (request.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || request.memory != V4L2_MEMORY_MMAP)
        return Fail(EINVAL);
    if (Config().busy || device.streaming) return Fail(EBUSY);
    FreeBuffers(device);
    Log("buffers asked %u", request.count);
    request.count = std::min(request.count, maxBuffers);
    if (request.count == 0) return 0;
    long page = sysconf(_SC_PAGESIZE);
    device.bufferLength = (device.format.sizeimage + page - 1) / page * page;
    size_t total = request.count * device.bufferLength;
    device.memoryFd = memfd_create("standin-camera", MFD_CLOEXEC);
    if (device.memoryFd < 0 || ftruncate(device.memoryFd, static_cast<off_t>(total)) != 0)
        return Fail(ENOMEM);
    void* memory = realMap()(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, device.memoryFd, 0);
    if (memory == MAP_FAILED) return Fail(ENOMEM);
    device.memory = static_cast<uint8_t*>(memory);
    device.buffers.assign(request.count, Buffer{});
    for (unsigned i = 0; i < request.count; ++i)
        device.buffers[i].memory = device.memory + i * device.bufferLength;
    request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    return 0;
}

void DescribeBuffer(const Device& device, unsigned index, v4l2_buffer& out) {
    const Buffer& buffer = device.buffers[index];
    out.index = index;
    out.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    out.memory = V4L2_MEMORY_MMAP;
    out.length = static_cast<uint32_t>(device.bufferLength);
    out.m.offset = static_cast<uint32_t>(index * device.bufferLength);
    out.field = V4L2_FIELD_NONE;
    out.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
    if (buffer.state == Buffer::queued) out.flags |= V4L2_BUF_FLAG_QUEUED;
    if (buffer.state == Buffer::done) out.flags |= V4L2_BUF_FLAG_DONE;
    out.bytesused = buffer.bytesUsed;
    out.sequence = buffer.sequence;
    out.timestamp.tv_sec = buffer.takenAt / 1000000000L;
    out.timestamp.tv_usec = buffer.takenAt % 1000000000L / 1000;
}

int DequeueBuffer(Device& device, v4l2_buffer& out, std::unique_lock<std::mutex>& held) {
    if (out.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || out.memory != V4L2_MEMORY_MMAP) return Fail(EINVAL);
    if (!device.streaming) return Fail(EINVAL);
    for (;;) {
        uint64_t expirations;
        if (!unplugged) (void)!read(device.timer, &expirations, sizeof expirations);
        CatchUp(device);
        if (unplugged) return Fail(ENODEV);
        for (auto it = device.order.begin(); it != device.order.end(); ++it) {
            if (device.buffers[*it].state != Buffer::done) continue;
            unsigned index = *it;
            device.order.erase(it);
            DescribeBuffer(device, index, out);
            out.flags &= ~V4L2_BUF_FLAG_DONE;
            device.buffers[index].state = Buffer::idle;
            return 0;
        }
        if (!device.blocking) return Fail(EAGAIN);
        // A blocking descriptor waits for the next frame of the clock, without the lock.
        int timer = device.timer;
        held.unlock();
        pollfd wait{timer, POLLIN, 0};
        realPoll()(&wait, 1, 1000);
        held.lock();
        if (!devices.count(timer)) return Fail(EBADF);
    }
}

int Control(Device& device, unsigned long request, void* argument, std::unique_lock<std::mutex>& held) {
    const Settings& config = Config();
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(argument);
        *cap = v4l2_capability{};
        snprintf(reinterpret_cast<char*>(cap->driver), sizeof cap->driver, "uvcvideo");
        snprintf(reinterpret_cast<char*>(cap->card), sizeof cap->card, "Stand-in Camera");
        snprintf(reinterpret_cast<char*>(cap->bus_info), sizeof cap->bus_info, "usb-0000:00:14.0-1");
        cap->version = 0x060100;
        cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* desc = static_cast<v4l2_fmtdesc*>(argument);
        if (desc->index != 0 || desc->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
        bool yuyv = config.pixelFormat == V4L2_PIX_FMT_YUYV;
        desc->pixelformat = config.pixelFormat;
        desc->flags = yuyv ? 0 : V4L2_FMT_FLAG_COMPRESSED;
        snprintf(reinterpret_cast<char*>(desc->description), sizeof desc->description,
                 yuyv ? "YUYV 4:2:2" : "Motion-JPEG");
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        auto* format = static_cast<v4l2_format*>(argument);
        if (format->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
        if (request == VIDIOC_G_FMT) {
            format->fmt.pix = device.format;
            return 0;
        }
        // Another program's stream, or this one's buffers, hold the format.
        if (request == VIDIOC_S_FMT && (config.busy || !device.buffers.empty())) return Fail(EBUSY);
        FillFormat(format->fmt.pix, format->fmt.pix.width, format->fmt.pix.height);
        if (request == VIDIOC_S_FMT) device.format = format->fmt.pix;
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto* parm = static_cast<v4l2_streamparm*>(argument);
        if (parm->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
        // One frame interval offered: whatever is asked, 30 a second is what the camera does.
        parm->parm.capture = v4l2_captureparm{};
        parm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        parm->parm.capture.timeperframe = {1, 30};
        parm->parm.capture.readbuffers = 0;
        return 0;
    }
    case VIDIOC_REQBUFS: return RequestBuffers(device, *static_cast<v4l2_requestbuffers*>(argument));
    case VIDIOC_QUERYBUF: {
        auto* buffer = static_cast<v4l2_buffer*>(argument);
        if (buffer->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer->index >= device.buffers.size())
            return Fail(EINVAL);
        DescribeBuffer(device, buffer->index, *buffer);
        return 0;
    }
    case VIDIOC_QBUF: {
        auto* buffer = static_cast<v4l2_buffer*>(argument);
        if (buffer->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer->memory != V4L2_MEMORY_MMAP ||
            buffer->index >= device.buffers.size() || device.buffers[buffer->index].state != Buffer::idle)
            return Fail(EINVAL);
        if (device.streaming) CatchUp(device);
        Buffer& queued = device.buffers[buffer->index];
        queued.state = Buffer::queued;
        queued.queuedAt = MonotonicNs();
        device.order.push_back(buffer->index);
        DescribeBuffer(device, buffer->index, *buffer);
        return 0;
    }
    case VIDIOC_DQBUF: return DequeueBuffer(device, *static_cast<v4l2_buffer*>(argument), held);
    case VIDIOC_STREAMON: {
        if (*static_cast<int*>(argument) != V4L2_BUF_TYPE_VIDEO_CAPTURE || device.buffers.empty())
            return Fail(EINVAL);
        if (config.busy || config.busyAtStream) return Fail(EBUSY);
        if (device.streaming) return 0;
        device.streaming = true;
        device.streamStart = MonotonicNs();
        device.ticksSeen = 0;
        itimerspec clock{};
        clock.it_interval.tv_nsec = framePeriodNs;
        clock.it_value.tv_nsec = framePeriodNs;
        timerfd_settime(device.timer, 0, &clock, nullptr);
        return 0;
    }
    case VIDIOC_STREAMOFF:
        if (*static_cast<int*>(argument) != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
        StopStream(device);
        return 0;
    case VIDIOC_QUERYCTRL:
    case VIDIOC_QUERY_EXT_CTRL:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
    case VIDIOC_QUERYMENU:
        // A camera without adjustable controls answers every control id as unknown.
        return Fail(EINVAL);
    default: return Fail(ENOTTY);
    }
}

const char* RequestName(unsigned long request) {
    switch (request) {
    case VIDIOC_QUERYCAP: return "QUERYCAP";
    case VIDIOC_ENUM_FMT: return "ENUM_FMT";
    case VIDIOC_G_FMT: return "G_FMT";
    case VIDIOC_S_FMT: return "S_FMT";
    case VIDIOC_TRY_FMT: return "TRY_FMT";
    case VIDIOC_G_PARM: return "G_PARM";
    case VIDIOC_S_PARM: return "S_PARM";
    case VIDIOC_REQBUFS: return "REQBUFS";
    case VIDIOC_QUERYBUF: return "QUERYBUF";
    case VIDIOC_QBUF: return "QBUF";
    case VIDIOC_DQBUF: return "DQBUF";
    case VIDIOC_STREAMON: return "STREAMON";
    case VIDIOC_STREAMOFF: return "STREAMOFF";
    case VIDIOC_QUERYCTRL: return "QUERYCTRL";
    case VIDIOC_G_CTRL: return "G_CTRL";
    case VIDIOC_S_CTRL: return "S_CTRL";
    default: return nullptr;
    }
}

void SpawnOnce() {
    static std::atomic<bool> spawned{false};
    if (Config().spawnPidFile.empty() || spawned.exchange(true)) return;
    pid_t pid = fork();
    if (pid == 0) {
        for (;;) pause();
    }
    if (FILE* file = fopen(Config().spawnPidFile.c_str(), "w")) {
        fprintf(file, "%d\n", static_cast<int>(pid));
        fclose(file);
    }
}

int OpenCamera(const char* path, int flags, mode_t mode, const char* realName) {
    using OpenFunction = int (*)(const char*, int, ...);
    if (!path || Config().node != path) return Real<OpenFunction>(realName)(path, flags, mode);
    Log("open %s flags=%#x", path, flags);
    SpawnOnce();
    if (unplugged) return Fail(ENOENT);
    if (Config().denied) return Fail(EACCES);
    int timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | ((flags & O_CLOEXEC) ? TFD_CLOEXEC : 0));
    if (timer < 0) return -1;
    std::lock_guard<std::mutex> held(lock);
    Device& device = devices[timer];
    device = Device{};
    device.timer = timer;
    device.blocking = (flags & O_NONBLOCK) == 0;
    FillFormat(device.format, Config().sizes.front().width, Config().sizes.front().height);
    ++openDevices;
    return timer;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    return OpenCamera(path, flags, mode, "open");
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    return OpenCamera(path, flags, mode, "open64");
}

int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (openDevices.load() > 0) {
        std::unique_lock<std::mutex> held(lock);
        auto found = devices.find(fd);
        if (found != devices.end()) {
            int result = unplugged ? Fail(ENODEV) : Control(found->second, request, argument, held);
            int error = errno;
            const char* name = RequestName(request);
            if (name)
                Log("ioctl %s -> %s", name, result == 0 ? "0" : strerror(error));
            else
                Log("ioctl %#lx -> %s", request, result == 0 ? "0" : strerror(error));
            errno = error;
            return result;
        }
    }
    return realIoctl()(fd, request, argument);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
    if (openDevices.load() > 0) {
        std::lock_guard<std::mutex> held(lock);
        auto found = devices.find(fd);
        if (found != devices.end()) {
            Device& device = found->second;
            Log("mmap length=%zu offset=%ld prot=%#x flags=%#x", length, static_cast<long>(offset),
                protection, flags);
            if (device.memoryFd < 0 || offset < 0 || device.bufferLength == 0 ||
                static_cast<size_t>(offset) % device.bufferLength != 0 ||
                static_cast<size_t>(offset) / device.bufferLength >= device.buffers.size() ||
                length > device.bufferLength) {
                errno = EINVAL;
                return MAP_FAILED;
            }
            return realMap()(address, length, protection, flags, device.memoryFd, offset);
        }
    }
    return realMap()(address, length, protection, flags, fd, offset);
}

int poll(pollfd* fds, nfds_t count, int timeout) {
    int result = realPoll()(fds, count, timeout);
    if (result > 0 && unplugged && openDevices.load() > 0) {
        std::lock_guard<std::mutex> held(lock);
        for (nfds_t i = 0; i < count; ++i)
            if (devices.count(fds[i].fd) && fds[i].revents) fds[i].revents = POLLERR | POLLHUP;
    }
    return result;
}

int close(int fd) {
    if (openDevices.load() > 0) {
        std::lock_guard<std::mutex> held(lock);
        auto found = devices.find(fd);
        if (found != devices.end()) {
            Log("close");
            FreeBuffers(found->second);
            devices.erase(found);
            --openDevices;
        }
    }
    return realClose()(fd);
}

}  // extern "C"
