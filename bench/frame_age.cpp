// How old the pictures are that a viewer gets: a browser-like client on 127.0.0.1 logs in and asks
// for webcam.jpg twice a second, a new connection each time, as the viewer page does; every picture
// carries the moment the stand-in camera took it (tests/standin/frame_stamp.h), and its age is the
// time from then to the last byte received.
// Usage: frame-age PORT USER PASSWORD SECONDS AGES-FILE; writes one age in ms a line to AGES-FILE
// and prints "pictures N unreadable U median-ms M p99-ms P max-ms X".

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/standin/frame_stamp.h"
#include "tests/support/loopback_client.h"

namespace {

std::string Fetch(int port, const std::string& path) {
    ClientSocket client("127.0.0.1", port);
    client.Send("GET /" + path + " HTTP/1.1\r\nAccept: image/*\r\nConnection: keep-alive\r\n\r\n");
    return client.ReadUntilClosed(2000);
}

int Percentile(const std::vector<int>& sorted, double share) {
    return sorted[std::min(sorted.size() - 1, size_t(share * double(sorted.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: frame-age PORT USER PASSWORD SECONDS AGES-FILE\n");
        return 2;
    }
    int port = std::atoi(argv[1]);
    auto seconds = std::chrono::seconds(std::atoi(argv[4]));
    if (Fetch(port, std::string("login.html?username=") + argv[2] + "&password=" + argv[3] + "&Login=Login")
            .find("webcam.jpg") == std::string::npos) {
        std::fprintf(stderr, "frame-age: the login was refused\n");
        return 1;
    }
    std::vector<int> ages;
    int unreadable = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto next = start; next < start + seconds; next += std::chrono::milliseconds(500)) {
        std::this_thread::sleep_until(next);
        std::string answer = Fetch(port, "webcam.jpg?" + std::to_string(WallClockMilliseconds()));
        uint32_t received = WallClockMilliseconds();
        size_t body = answer.find("\r\n\r\n");
        cv::Mat grey;
        if (body != std::string::npos && body + 4 < answer.size())
            grey = cv::imdecode(std::vector<uint8_t>(answer.begin() + long(body) + 4, answer.end()),
                                cv::IMREAD_GRAYSCALE);
        uint32_t stamp = 0;
        if (grey.empty() || !ReadStamp(grey.data, grey.cols, grey.rows, int(grey.step), stamp)) {
            ++unreadable;
            continue;
        }
        ages.push_back(StampAge(stamp, received));
    }
    if (FILE* file = std::fopen(argv[5], "w")) {
        for (int age : ages) std::fprintf(file, "%d\n", age);
        std::fclose(file);
    }
    if (ages.empty()) {
        std::fprintf(stderr, "frame-age: no readable picture\n");
        return 1;
    }
    std::sort(ages.begin(), ages.end());
    std::printf("pictures %zu unreadable %d median-ms %d p99-ms %d max-ms %d\n", ages.size(), unreadable,
                Percentile(ages, 0.5), Percentile(ages, 0.99), ages.back());
    return 0;
}
