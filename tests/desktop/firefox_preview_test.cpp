// Preview with the browser a user has: the built program on a private display hands the session
// address to Debian's real Firefox, which logs in by the id and then asks for the picture about
// twice a second, as the loopback interface shows; the window counts the one browser. Firefox
// runs from a throw-away home with a prepared profile and is ended with all its processes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "tests/support/desktop_run.h"
#include "tests/desktop/loopback_tap.h"
#include "tests/support/loopback_client.h"
#include "tests/support/window_layout.h"

namespace {

// A loopback port that is bound and never listens: every connection to it is refused at once.
class RefusingPort {
public:
    RefusingPort() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Firefox's home for one run: its one profile made beforehand, so that it starts without
// questions, and every folder it writes in inside, so that removing the home removes all.
class FirefoxHome {
public:
    FirefoxHome() {
        std::filesystem::create_directories(home.File(".mozilla/firefox/test"));
        std::filesystem::create_directories(home.File("tmp"));
        WriteFileText(home.File(".mozilla/firefox/profiles.ini"),
                      "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=test\nIsRelative=1\n"
                      "Path=test\nDefault=1\n");
        std::string refused = std::to_string(proxy.port());
        WriteFileText(home.File(".mozilla/firefox/test/user.js"),
                      ReadFileText(FIREFOX_PREFERENCES) +
                          "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                          "user_pref(\"network.proxy.http_port\", " + refused + ");\n"
                          "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\n"
                          "user_pref(\"network.proxy.ssl_port\", " + refused + ");\n"
                          "user_pref(\"services.settings.server\", \"http://127.0.0.1:" + refused +
                          "/v1\");\n");
    }
    bool ok() const { return proxy.port() > 0; }
    // The program passes its environment on to the browser it starts.
    std::vector<std::string> Environment() const {
        const std::string& h = home.path();
        return {"HOME=" + h, "XDG_CONFIG_HOME=" + h + "/.config", "XDG_CACHE_HOME=" + h + "/.cache",
                "XDG_DATA_HOME=" + h + "/.local/share", "XDG_STATE_HOME=" + h + "/.local/state",
                "TMPDIR=" + h + "/tmp", "PATH=/usr/bin:/bin",
                // The prepared profile rather than a new one for this installation.
                "MOZ_LEGACY_PROFILES=1",
                // Never hand the address to a Firefox of another session.
                "MOZ_NO_REMOTE=1", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + h + "/no-bus",
                "MOZ_CRASHREPORTER_DISABLE=1"};
    }

private:
    RefusingPort proxy;
    TempDir home;
};

// The browser that Preview started: the program's child whose last argument is a web address.
pid_t BrowserOf(pid_t program, std::string& address) {
    for (pid_t child : ChildrenOf(program)) {
        std::vector<std::string> command = CommandLineOf(child);
        if (command.size() >= 2 && command.back().rfind("http://", 0) == 0) {
            address = command.back();
            return child;
        }
    }
    return -1;
}

// Ends the browser and its processes however the test ends.
struct BrowserTree {
    pid_t root = -1;
    ~BrowserTree() {
        if (root > 0) KillProcessTree(root);
    }
};

bool IsRequest(const TappedSegment& segment, int port, const std::string& start) {
    return segment.destinationPort == port && segment.source == "127.0.0.1" &&
           segment.payload.rfind("GET /" + start, 0) == 0;
}

bool IsPictureAnswer(const TappedSegment& segment, int port) {
    return segment.sourcePort == port && segment.destination == "127.0.0.1" &&
           segment.payload.find("Content-Type: image/jpeg") != std::string::npos;
}

int64_t WallMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class FirefoxPreview : public ::testing::Test {
protected:
    // Firefox's content processes lose their parent when it is killed; they come here to be
    // reaped instead of lingering as zombies under a process 1 that reaps nobody.
    void SetUp() override { ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
    void TearDown() override {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
};

}  // namespace

TEST_F(FirefoxPreview, FirefoxLogsInByTheIdAndFetchesThePictureTwiceASecond) {
    ASSERT_EQ(access("/usr/bin/firefox", X_OK), 0) << "Debian's firefox-esr is not installed";
    std::unique_ptr<LoopbackHttpServer> echo = OpenEchoService();
    ASSERT_TRUE(echo->ok()) << "the address-echo port stays taken";
    ServeAddress(*echo, "127.0.0.1");
    int port = FreePort();
    LoopbackTap tap(port);
    ASSERT_TRUE(tap.ok()) << "no packet socket on loopback (needs CAP_NET_RAW)";
    FirefoxHome home;
    ASSERT_TRUE(home.ok());
    DesktopRun run(StoredSettings(port));
    ASSERT_TRUE(run.DisplayReady());
    run.Start(home.Environment());
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000)) << run.Output();
    // Read as a user copies it; a selection that a slow moment turned into a double click is retried.
    auto usersShow = [&](const std::string& text, int limitMilliseconds) {
        return WaitUntil([&] { return run.FieldText(main, usersX, usersY) == text; }, limitMilliseconds);
    };
    EXPECT_TRUE(usersShow(" 0", 5000));

    run.Click(main, previewX, previewY);
    BrowserTree browser;
    std::string address;
    ASSERT_TRUE(WaitUntil([&] { return (browser.root = BrowserOf(run.Pid(), address)) > 0; }, 10000));
    std::string prefix = "http://127.0.0.1:" + std::to_string(port) + "/index.html?id=";
    ASSERT_EQ(address.rfind(prefix, 0), 0u) << address;
    std::string id = address.substr(prefix.size());
    ASSERT_EQ(id.size(), 40u) << address;

    // A fresh Firefox on a busy two-core machine takes a few seconds to show its first page.
    std::vector<TappedSegment> wire;
    auto firstPicture = [&] {
        return std::find_if(wire.begin(), wire.end(),
                            [&](const TappedSegment& s) { return IsRequest(s, port, "webcam.jpg?"); });
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            tap.Take(wire);
            return firstPicture() != wire.end();
        },
        90000))
        << run.Output();
    auto login = std::find_if(wire.begin(), wire.end(), [&](const TappedSegment& s) {
        return IsRequest(s, port, "index.html?id=" + id + " ");
    });
    ASSERT_NE(login, wire.end()) << "the picture was asked for without the id's login";
    EXPECT_LT(login->microseconds, firstPicture()->microseconds);
    EXPECT_TRUE(usersShow(" 1", 10000));

    // Ten seconds of the page's own rhythm, from a second after its first picture.
    const int64_t from = firstPicture()->microseconds + 1000000, to = from + 10000000;
    WaitUntil([&] { return WallMicroseconds() > to + 500000; }, 15000);
    tap.Take(wire);
    int requests = 0, pictures = 0;
    std::ostringstream times;
    for (const TappedSegment& segment : wire) {
        if (segment.microseconds < from || segment.microseconds >= to) continue;
        if (IsRequest(segment, port, "webcam.jpg?")) {
            ++requests;
            times << " " << (segment.microseconds - from) / 1000;
        }
        if (IsPictureAnswer(segment, port)) ++pictures;
    }
    EXPECT_GE(requests, 14) << "requests at (ms):" << times.str();
    EXPECT_LE(requests, 22) << "requests at (ms):" << times.str();
    EXPECT_NEAR(pictures, requests, 1) << "each request is answered with the picture";
    EXPECT_TRUE(usersShow(" 1", 5000)) << "the login holds while the pictures come";

    EXPECT_TRUE(KillProcessTree(browser.root)) << "a Firefox process outlived SIGKILL";
    browser.root = -1;
    CloseAndExpectCleanEnd(run, main, run.HelperPid(), run.WorkDir());
}
