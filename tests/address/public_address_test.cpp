// The public-address check with the real main window on the test display and an address-echo
// stand-in on loopback: the first line of the answer lands in the address field as it is when it
// is a dotted address, the answer file is gone afterwards, failures and any other line change
// nothing and say nothing, and without a network the user is told so without a request being made.
#include <gtest/gtest.h>

#include "core/constants.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"
#include "desktop/public_address.h"
#include "tests/support/loopback_http_server.h"
#include "tests/desktop/gui_support.h"
#include "tests/support/program_state.h"
#include "tests/support/temp_dir.h"

namespace {

class PublicAddress : public testing::Test {
protected:
    LoopbackHttpServer service;
    TempDir dir;
    std::string answerPath = dir.File("ip.txt");

    void SetUp() override {
        ASSERT_TRUE(StartGadgetsForTest()) << "no X display (set DISPLAY)";
        ASSERT_TRUE(service.ok());
        ResetProgramState(dir.path());
        ProgramState& s = programState;
        s.networkReady = 1;
        s.serviceBaseUrl = service.BaseUrl();
        s.settingPort.Set("8080");
        ASSERT_TRUE(OpenMainWindow());
    }
    void TearDown() override { CloseGadgetWindow(mainWindow); }

    void Answer(const std::string& statusLine, const std::string& body) {
        ScriptedReply reply;
        reply.pieces = {HttpAnswer(statusLine, {"Content-Length: " + std::to_string(body.size())}, body)};
        service.SetReply(reply);
    }
    // Runs the check with every message box recorded and answered.
    std::vector<MessageBoxSeen> Check() {
        MessageBoxAnswerer boxes;
        CheckPublicAddress("ip.php", "ip.txt");
        return boxes.seen;
    }
};

TEST_F(PublicAddress, FirstLineOfTheAnswerFillsTheFieldAndTheFileGoes) {
    EXPECT_EQ(GetGadgetText(gadgetAddressField), " -");
    Answer("HTTP/1.1 200 OK", "203.0.113.7\r\n");
    EXPECT_TRUE(Check().empty());
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.7");
    EXPECT_FALSE(PathExists(answerPath));
    ASSERT_EQ(service.Requests().size(), 1u);
    EXPECT_EQ(service.Requests()[0], "GET /ip.php HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1:" +
                                         std::to_string(service.port()) + "\r\nConnection: close\r\n\r\n");
}

TEST_F(PublicAddress, OnlyTheFirstLineAndItsBlanksAsTheyAre) {
    Answer("HTTP/1.1 200 OK", " 198.51.100.9 \nsecond line\nthird\n");
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), " 198.51.100.9 ");

    Answer("HTTP/1.1 200 OK", "192.0.2.44\rnot this");
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "192.0.2.44");

    Answer("HTTP/1.1 200 OK", std::string("192.0.2.45\0tail", 15));
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "192.0.2.45");

    // A body without a line end is one whole line.
    Answer("HTTP/1.1 302 Found", "192.0.2.46");
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "192.0.2.46");
    EXPECT_FALSE(PathExists(answerPath));
}

TEST_F(PublicAddress, AnyLineButADottedAddressIsAFailedCheck) {
    Answer("HTTP/1.1 200 OK", "203.0.113.7\n");
    Check();
    const std::string lines[] = {"attacker-host.test", "localhost", "203.0.113.7.example.org", "010.0.0.1",
                                 "\t203.0.113.8", "203.0.113.8 x", "256.1.1.1", "203.0.113.8\x1b[2J",
                                 " 203.0.113.8" + std::string(60, ' ')};
    for (const std::string& line : lines) {
        Answer("HTTP/1.1 200 OK", line + "\r\n");
        EXPECT_TRUE(Check().empty());
        EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.7") << line;
        EXPECT_FALSE(PathExists(answerPath));
    }
    // Ten megabytes of escape codes on one line: none reaches the field.
    std::string escapes;
    while (escapes.size() < 10 * 1000 * 1000) escapes += "\x1b[31m\x1b]0;x\x07";
    Answer("HTTP/1.1 200 OK", escapes);
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.7");
    EXPECT_EQ(service.Requests().size(), 11u);
}

TEST_F(PublicAddress, EmptyAnswerEmptiesTheField) {
    Answer("HTTP/1.1 200 OK", "");
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "");
    EXPECT_FALSE(PathExists(answerPath));
}

TEST_F(PublicAddress, FailedCheckChangesNothingAndSaysNothing) {
    Answer("HTTP/1.1 200 OK", "203.0.113.7\n");
    Check();
    Answer("HTTP/1.1 404 Not Found", "nothing here\n");
    EXPECT_TRUE(Check().empty());
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.7");
    EXPECT_FALSE(PathExists(answerPath));

    // Nobody listening at the service's address.
    int port = 0;
    {
        LoopbackHttpServer gone;
        port = gone.port();
    }
    programState.serviceBaseUrl = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_TRUE(Check().empty());
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.7");
}

TEST_F(PublicAddress, AnOlderAnswerFileIsReplacedAndRemoved) {
    WriteFileText(answerPath, "10.0.0.1\nfrom an earlier run that ended badly\n");
    Answer("HTTP/1.1 200 OK", "203.0.113.8\n");
    Check();
    EXPECT_EQ(GetGadgetText(gadgetAddressField), "203.0.113.8");
    EXPECT_FALSE(PathExists(answerPath));
}

TEST_F(PublicAddress, WithoutNetworkOnlyTheMessage) {
    programState.networkReady = 0;
    Answer("HTTP/1.1 200 OK", "203.0.113.7\n");
    std::vector<MessageBoxSeen> seen = Check();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Error");
    EXPECT_EQ(seen[0].text, "Can not initialize the network.");
    EXPECT_EQ(GetGadgetText(gadgetAddressField), " -");
    EXPECT_TRUE(service.Requests().empty());

    ApplyLanguage("deutsch");
    seen = Check();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Fehler");
    EXPECT_EQ(seen[0].text, "Das Netzwerk konnte nicht initialisiert werden.");
}

}  // namespace
