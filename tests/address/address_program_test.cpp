// The public-address check through the whole program, black-box: the stand-in program (its
// address-echo service compiled in on loopback at LUMORA_TEST_SERVICE_PORT) runs on a display of the test's own
// with a stand-in echo service on that address and a stand-in "firefox" on PATH. The address the
// field shows is read from what Preview opens. The check runs at start-up with "ipcheck" = 1, on
// IP-Check and from Preview while the field shows "-"; its answer file does not stay behind, and
// an answer that is no dotted address never reaches Preview.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "core/platform.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

namespace {

constexpr uint16_t servicePort = LUMORA_TEST_SERVICE_PORT;
const std::string expectedRequest = "GET /ip.php HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1:" +
                                    std::to_string(servicePort) + "\r\nConnection: close\r\n\r\n";

class AddressProgram : public testing::Test {
protected:
    LoopbackHttpServer service{"127.0.0.1", servicePort};
    PrivateDisplay display;
    TempDir folder;
    std::unique_ptr<RunningProgram> program;
    std::string window;
    std::string workDir;
    int port = FreePort();

    // Every answer has a length, so that the program closes first and the fixed port can be
    // bound again by the next test at once.
    void Reply(const std::string& statusLine, const std::string& body) {
        ScriptedReply reply;
        reply.pieces = {HttpAnswer(statusLine, {"Content-Length: " + std::to_string(body.size())}, body)};
        service.SetReply(reply);
    }

    void Start(const std::string& ipcheck) {
        ASSERT_TRUE(service.ok()) << "127.0.0.1:" << servicePort << " is taken";
        ASSERT_TRUE(display.ok());
        std::string bin = folder.File("bin");
        std::filesystem::create_directory(bin);
        WriteFileText(bin + "/firefox", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> " + folder.File("opened") + "\n");
        chmod((bin + "/firefox").c_str(), 0755);
        std::string path = InstallStandInProgram(
            folder.path(), {{"language", "English"}, {"username", "cam"}, {"password", Sha1Hex(std::string("pw"))},
                            {"server", "1"}, {"hide", "0"}, {"ipcheck", ipcheck},
                            {"port", std::to_string(port)}, {"device", "0"}});
        program = std::make_unique<RunningProgram>(
            path, std::vector<std::string>{},
            std::vector<std::string>{"DISPLAY=" + display.name(), "PATH=" + bin + ":" + getenv("PATH")},
            folder.path());
        std::vector<std::string> windows;
        ASSERT_TRUE(WaitUntil([&] { return !(windows = FindWindows(display.name(), "^Lumora v1\\.4$", true)).empty(); },
                              10000))
            << program->Output();
        window = windows[0];
        pid_t helper = -1;
        ASSERT_TRUE(WaitUntil([&] { return (helper = FindHelperOf(program->pid())) > 0; }, 10000))
            << "the camera did not start: " << program->Output();
        workDir = WorkDirOfHelper(helper);
    }

    void Press(int x, int y) {
        RunCommand({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"},
                   display.name());
    }
    void PressIpCheck() { Press(280, 77); }

    // Presses Preview and returns the address the stand-in browser was given.
    std::string Preview() {
        size_t before = Opened().size();
        Press(280, 102);
        std::vector<std::string> opened;
        if (!WaitUntil([&] { return (opened = Opened()).size() > before; }, 5000)) return {};
        return opened.back();
    }
    std::vector<std::string> Opened() {
        std::istringstream lines(ReadFileText(folder.File("opened")));
        std::vector<std::string> opened;
        for (std::string line; std::getline(lines, line);) opened.push_back(line);
        return opened;
    }
    std::string PreviewAddressFor(const std::string& host) {
        return "http://" + host + ":" + std::to_string(port) + "/index.html?id=";
    }

    void TearDown() override {
        if (!program) return;
        int status = 0;
        CloseLikeWindowManager(display.name(), window);
        EXPECT_TRUE(program->WaitForExit(5000, status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program->Output();
        EXPECT_FALSE(PathExists(workDir));
    }
};

TEST_F(AddressProgram, CheckAtStartUpAndOnIpCheckShowsTheServicesAnswer) {
    Reply("HTTP/1.1 200 OK", "203.0.113.7\r\n");
    ASSERT_NO_FATAL_FAILURE(Start("1"));
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 1; }, 10000));
    std::string opened = Preview();
    EXPECT_EQ(opened.rfind(PreviewAddressFor("203.0.113.7"), 0), 0u) << opened;
    std::string id = opened.substr(opened.find("?id=") + 4);
    EXPECT_EQ(id.size(), 40u) << opened;
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << opened;
    EXPECT_FALSE(PathExists(workDir + "ip.txt"));

    Reply("HTTP/1.0 200 OK", "198.51.100.20\nsecond line\n");
    PressIpCheck();
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 2; }, 10000));
    EXPECT_EQ(Preview().rfind(PreviewAddressFor("198.51.100.20"), 0), 0u);
    EXPECT_FALSE(PathExists(workDir + "ip.txt"));

    // A failed check leaves the address as it was.
    Reply("HTTP/1.1 404 Not Found", "198.51.100.99\n");
    PressIpCheck();
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 3; }, 10000));
    EXPECT_EQ(Preview().rfind(PreviewAddressFor("198.51.100.20"), 0), 0u);

    for (const std::string& request : service.Requests()) EXPECT_EQ(request, expectedRequest);
    for (const std::string& caller : service.Callers()) EXPECT_EQ(caller, "127.0.0.1");
}

TEST_F(AddressProgram, PreviewChecksWhileTheFieldShowsADash) {
    Reply("HTTP/1.1 200 OK", "192.0.2.61\n");
    ASSERT_NO_FATAL_FAILURE(Start("0"));
    EXPECT_TRUE(service.Requests().empty()) << "no check at start-up with ipcheck 0";
    EXPECT_EQ(Preview().rfind(PreviewAddressFor("192.0.2.61"), 0), 0u);
    ASSERT_EQ(service.Requests().size(), 1u);
    // The field now has an address: the next Preview asks nobody.
    EXPECT_EQ(Preview().rfind(PreviewAddressFor("192.0.2.61"), 0), 0u);
    EXPECT_EQ(service.Requests().size(), 1u);
    EXPECT_FALSE(PathExists(workDir + "ip.txt"));
}

TEST_F(AddressProgram, AHostNameOrEscapeCodesFromTheServiceNeverReachPreview) {
    Reply("HTTP/1.1 200 OK", "attacker-host.test\r\n");
    ASSERT_NO_FATAL_FAILURE(Start("1"));
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 1; }, 10000));
    // The field still shows "-": Preview checks again and, with the same answer, opens nothing.
    Press(280, 102);
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 2; }, 10000));
    // IP-Check is handled after Preview, so its request means Preview has done all it would.
    Reply("HTTP/1.1 200 OK", "203.0.113.7\r\n");
    PressIpCheck();
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 3; }, 10000));
    EXPECT_TRUE(Opened().empty());

    Reply("HTTP/1.1 200 OK", "\x1b[2J\x1b]0;x\x07 198.51.100.9\r\n");
    PressIpCheck();
    ASSERT_TRUE(WaitUntil([&] { return service.Requests().size() == 4; }, 10000));
    EXPECT_EQ(Preview().rfind(PreviewAddressFor("203.0.113.7"), 0), 0u);
}

}  // namespace
