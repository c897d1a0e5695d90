// How long a new picture takes from being written into the working directory to being served:
// inotify tells when each frame is renamed into place, and a client on 127.0.0.1 (logged in by
// the caller) asks for the picture back to back and notes when each frame first comes back.
// Usage: frame-delay PORT WORK-DIR SECONDS; prints "frames F served S median-ms M max-ms X".
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_client.h"

namespace {

using Clock = std::chrono::steady_clock;

// The stand-in camera marks each frame with "frame N" after the picture's end.
std::string FrameTag(const std::string& picture) {
    size_t at = picture.rfind("frame ");
    return at == std::string::npos ? std::string() : picture.substr(at);
}

std::string Fetch(int port, long number) {
    ClientSocket client("127.0.0.1", port);
    client.Send("GET /webcam.jpg?" + std::to_string(number) + " HTTP/1.1\r\nConnection: close\r\n\r\n");
    return client.ReadUntilClosed(2000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: frame-delay PORT WORK-DIR SECONDS\n");
        return 2;
    }
    int port = std::atoi(argv[1]);
    std::string dir = argv[2];
    Clock::time_point end = Clock::now() + std::chrono::seconds(std::atoi(argv[3]));

    std::mutex lock;
    std::map<std::string, Clock::time_point> written, served;
    int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, dir.c_str(), IN_MOVED_TO) < 0) {
        std::perror("inotify");
        return 1;
    }
    std::thread watcher([&] {
        alignas(inotify_event) char events[4096];
        pollfd one{watch, POLLIN, 0};
        while (Clock::now() < end) {
            if (poll(&one, 1, 100) <= 0) continue;
            ssize_t n = read(watch, events, sizeof events);
            Clock::time_point now = Clock::now();
            for (char* at = events; n > 0 && at < events + n;) {
                auto* event = reinterpret_cast<inotify_event*>(at);
                if (event->len && std::strcmp(event->name, "webcam.jpg") == 0) {
                    std::ifstream in(dir + "/webcam.jpg", std::ios::binary);
                    std::string picture((std::istreambuf_iterator<char>(in)), {});
                    std::lock_guard<std::mutex> guard(lock);
                    written.emplace(FrameTag(picture), now);
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
    });

    long requests = 0, failures = 0;
    while (Clock::now() < end) {
        std::string answer = Fetch(port, ++requests);
        Clock::time_point now = Clock::now();
        if (answer.find("Content-Type: image/jpeg\r\n") == std::string::npos) {
            ++failures;
            continue;
        }
        std::lock_guard<std::mutex> guard(lock);
        served.emplace(FrameTag(answer), now);
    }
    watcher.join();
    close(watch);

    std::vector<double> delays;
    for (const auto& [tag, at] : written) {
        auto found = served.find(tag);
        if (found == served.end() || tag.empty()) continue;
        // The watcher can wake a little after a fast client already has the frame.
        double ms = std::chrono::duration<double, std::milli>(found->second - at).count();
        delays.push_back(std::max(0.0, ms));
    }
    std::sort(delays.begin(), delays.end());
    double median = delays.empty() ? -1 : delays[delays.size() / 2];
    double worst = delays.empty() ? -1 : delays.back();
    std::printf("frames %zu served %zu requests %ld failed %ld median-ms %.3f max-ms %.3f\n",
                written.size(), delays.size(), requests, failures, median, worst);
    return delays.empty() ? 1 : 0;
}
