// The server at the descriptor limit, in a process of its own whose limit is lowered while it
// runs: browsers waiting in the listen queue cost it next to no processor time, and they are
// answered once descriptors are freed.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/loopback_client.h"
#include "tests/support/wait.h"
#include "web/pages.h"

namespace {

using std::chrono::milliseconds;

// The web server alone (tests/browser/web_test_server.cpp), as a child that is always ended.
class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() {
        if (output_ >= 0) close(output_);
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        if (WaitUntil([this] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 3000)) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    // True once it says that it serves on the port.
    bool Start(int port, const std::string& picture) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return false;
        std::string portText = std::to_string(port);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(ends[1], STDOUT_FILENO);
            // Whatever this test program inherited would leave the server gaps to fill below the limit.
            close_range(3, ~0u, 0);
            execl(WEB_TEST_SERVER, WEB_TEST_SERVER, portText.c_str(), picture.c_str(), "a", "b", "id", "60",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        output_ = ends[0];
        if (pid_ < 0) return false;
        std::string said;
        char chunk[64];
        pollfd one{output_, POLLIN, 0};
        while (said.find('\n') == std::string::npos && poll(&one, 1, 10000) > 0) {
            ssize_t n = read(output_, chunk, sizeof chunk);
            if (n <= 0) break;
            said.append(chunk, size_t(n));
        }
        return said == "ready\n";
    }

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

int HighestDescriptor(pid_t pid) {
    int highest = -1;
    DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds) return -1;
    while (dirent* entry = readdir(fds))
        if (entry->d_name[0] != '.') highest = std::max(highest, std::atoi(entry->d_name));
    closedir(fds);
    return highest;
}

// Processor time of every thread of the process so far, in nanoseconds.
long long CpuNanoseconds(pid_t pid) {
    long long total = 0;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir) return -1;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        long long onCpu = 0;
        if (schedstat >> onCpu) total += onCpu;
    }
    closedir(dir);
    return total;
}

}  // namespace

TEST(DescriptorLimit, WaitingBrowsersCostNextToNothingAndAreAnsweredOnceDescriptorsFree) {
    TempDir dir;
    WriteFileText(dir.File("webcam.jpg"), "picture");
    std::unique_ptr<ServerProcess> server;
    int port = 0;
    for (int attempt = 0; attempt < 10 && !server; ++attempt) {
        port = FreePort();
        auto tried = std::make_unique<ServerProcess>();
        if (tried->Start(port, dir.File("webcam.jpg"))) server = std::move(tried);
    }
    ASSERT_TRUE(server) << "the server did not start";

    // Room for two more descriptors; the holders take them (and any gap below), the rest wait.
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(HighestDescriptor(server->pid()) + 3);
    ASSERT_EQ(prlimit(server->pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    std::vector<std::unique_ptr<ClientSocket>> holders, browsers;
    for (int i = 0; i < 8; ++i) {
        holders.push_back(std::make_unique<ClientSocket>("127.0.0.2", port));
        ASSERT_TRUE(holders.back()->isOpen());
    }
    std::this_thread::sleep_for(milliseconds(300));
    for (int i = 0; i < 3; ++i) {
        browsers.push_back(std::make_unique<ClientSocket>("127.0.0.3", port));
        ASSERT_TRUE(browsers.back()->isOpen());
        ASSERT_TRUE(browsers.back()->Send(GetRequest("")));
    }
    std::this_thread::sleep_for(milliseconds(300));

    long long before = CpuNanoseconds(server->pid());
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(milliseconds(3000));
    long long used = CpuNanoseconds(server->pid()) - before;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Trying the accept again and again would take the better part of a core.
    EXPECT_LT(double(used) / 1e9 / seconds, 0.01) << used / 1000000 << " ms of CPU in " << seconds << " s";
    for (auto& browser : browsers) ASSERT_FALSE(browser->ReadableWithin(0)) << "the limit was not reached";

    holders.clear();
    for (auto& browser : browsers) EXPECT_EQ(browser->ReadUntilClosed(5000), ExpectedAnswer(std::string(loginPage)));
}
