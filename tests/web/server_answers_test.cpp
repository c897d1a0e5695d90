// The running server answering real browsers on loopback, byte for byte: what a stranger and a
// logged-in address get, both ways in (session id, user name and password), and the picture.
#include <gtest/gtest.h>

#include <string>

#include "core/platform.h"
#include "core/program_state.h"
#include "tests/support/loopback_client.h"
#include "tests/web/server_fixture.h"
#include "web/pages.h"

namespace {

const std::string login(loginPage), viewer(viewerPage), popup(popupPage), redirect(redirectPage),
    failed(authorizationFailedPage), notFound(notFoundPage);

using ServerAnswers = RunningServer;

}  // namespace

TEST_F(ServerAnswers, AStrangerGetsTheLoginFormByteForByte) {
    std::string answer = Fetch("127.0.0.2", "");
    EXPECT_EQ(answer.substr(0, 89), "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: 1339\r\n"
                                    "Content-Type: text/html\r\n\r\n");
    EXPECT_EQ(answer.size(), 89u + 1339u);
    EXPECT_EQ(answer, ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html"), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", "  "), ExpectedAnswer(login));
}

TEST_F(ServerAnswers, AStrangerGetsErrorsForEverythingElse) {
    for (const char* path : {"webcam.html", "popup.html", "webcam.jpg", "webcam.jpg?1712345678901",
                             "login.html", "error.html", "?", "Index.html", "nothing", "index.htm"})
        EXPECT_EQ(Fetch("127.0.0.2", path), ExpectedAnswer(notFound)) << path;
    EXPECT_EQ(Fetch("127.0.0.2", "error2.html"), ExpectedAnswer(failed));
    EXPECT_EQ(Fetch("127.0.0.2", "error2.html?x"), ExpectedAnswer(failed));
}

TEST_F(ServerAnswers, TheSessionIdLetsAnAddressInAndTheAddressStaysIn) {
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", ""), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html"), ExpectedAnswer(viewer));
    // Another computer is still a stranger.
    EXPECT_EQ(Fetch("127.0.0.3", ""), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", "webcam.html"), ExpectedAnswer(notFound));
}

TEST_F(ServerAnswers, TheIdParameterNameIgnoresLetterCaseButItsValueDoesNot) {
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?ID=" + sessionId), ExpectedAnswer(viewer));
    std::string upper = sessionId;
    for (char& c : upper) c = char(toupper(c));
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?id=" + upper), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?id=" + sessionId.substr(1)), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?id="), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?x=1"), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?"), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.3", ""), ExpectedAnswer(login));
}

TEST_F(ServerAnswers, AnEmptySessionIdLetsNobodyIn) {
    Stop();
    programState.sessionId.clear();
    ASSERT_TRUE(StartWithPort(std::to_string(port)));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?id="), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?x=1"), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", ""), ExpectedAnswer(login));
    // The form still works.
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=a&password=b&Login=Login"), ExpectedAnswer(viewer));
}

TEST_F(ServerAnswers, TheFormLogsInWithParametersInAnyOrder) {
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=a&password=b&Login=Login"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", ""), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.3", "login.html?Login=Login&PASSWORD=b&UserName=a"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.4", "login.html?password=b&username=a"), ExpectedAnswer(viewer));
}

TEST_F(ServerAnswers, WrongOrMissingCredentialsGetTheAuthorizationFailedPage) {
    for (const char* path : {"login.html?username=a&password=c&Login=Login",
                             "login.html?username=A&password=b&Login=Login",
                             "login.html?username=a&Login=Login", "login.html?password=b&Login=Login",
                             "login.html?", "login.html?username=a&password=b#x&Login=Login",
                             "login.html?username=a%20&password=b"})
        EXPECT_EQ(Fetch("127.0.0.2", path), ExpectedAnswer(failed)) << path;
    EXPECT_EQ(Fetch("127.0.0.2", ""), ExpectedAnswer(login));
}

TEST_F(ServerAnswers, CredentialsCountAsSentAndElseAsTheFormEncodesThem) {
    programState.settingUsername.Set("web cam");
    programState.settingPasswordHash.Set(Sha1Hex(std::string("K\xE4tzchen 1!")));
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=web+cam&password=K%C3%A4tzchen+1%21&Login=Login"),
              ExpectedAnswer(viewer));
    // ISO-8859-15 bytes as they stand, from a hand-made link.
    EXPECT_EQ(Fetch("127.0.0.3", "login.html?username=web%20cam&password=K%E4tzchen%201!"), ExpectedAnswer(viewer));
    for (const char* path : {"login.html?username=web%2Bcam&password=K%C3%A4tzchen+1%21",
                             "login.html?username=web+cam&password=K%C3%A4tzchen%2B1%21"})
        EXPECT_EQ(Fetch("127.0.0.4", path), ExpectedAnswer(failed)) << path;

    // A stored text holding what the form would escape still matches when sent as it stands.
    programState.settingUsername.Set("a+%G1");
    programState.settingPasswordHash.Set(Sha1Hex(std::string("b+c%4")));
    EXPECT_EQ(Fetch("127.0.0.5", "login.html?username=a+%G1&password=b+c%4"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.6", "login.html?username=a%2B%25G1&password=b%2Bc%254"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.7", "login.html?username=a+%G1&password=b+c%254x"), ExpectedAnswer(failed));
}

TEST_F(ServerAnswers, TheSessionIdIsComparedAsItStands) {
    std::string escaped = "%" + std::to_string(30 + (sessionId[0] - '0')) + sessionId.substr(1);
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?id=" + escaped), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId + "+"), ExpectedAnswer(login));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
}

TEST_F(ServerAnswers, ChangedSettingsCountFromTheNextLogin) {
    programState.settingUsername.Set("cam");
    programState.settingPasswordHash.Set(Sha1Hex(std::string("secret")));
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=a&password=b"), ExpectedAnswer(failed));
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=cam&password=secret"), ExpectedAnswer(viewer));
}

TEST_F(ServerAnswers, TheFormerWindowsDigestIsNoPasswordHere) {
    programState.settingUsername.Set("cam");
    // What the Windows build once stored for "secret": a digest of the first half of its UTF-16.
    programState.settingPasswordHash.Set(Sha1Hex(std::string("s\0e\0c\0", 6)));
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=cam&password=secret"), ExpectedAnswer(failed));
}

TEST_F(ServerAnswers, ALoggedInAddressGetsEveryPage) {
    ASSERT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "index.html?"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.html"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.html.bak"), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "popup.html"), ExpectedAnswer(popup));
    EXPECT_EQ(Fetch("127.0.0.2", "popup.html?"), ExpectedAnswer(popup));
    EXPECT_EQ(Fetch("127.0.0.2", "login.html"), ExpectedAnswer(redirect));
    // Reloading the login address does not test the credentials again.
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=x&password=y"), ExpectedAnswer(redirect));
    EXPECT_EQ(Fetch("127.0.0.2", "error2.html"), ExpectedAnswer(failed));
    EXPECT_EQ(Fetch("127.0.0.2", "error.html"), ExpectedAnswer(notFound));
    EXPECT_EQ(Fetch("127.0.0.2", "nothing.html"), ExpectedAnswer(notFound));
    // A page name of only "?" is the empty key: the login form.
    EXPECT_EQ(Fetch("127.0.0.2", "?"), ExpectedAnswer(login));
}

TEST_F(ServerAnswers, ThePictureIsTheFileAsItIsNow) {
    ASSERT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.jpg"), ExpectedAnswer("", "image/jpeg"));

    std::string picture(50000, '\0');
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = char(i * 7 + i / 251);
    WriteFileText(dir.File("webcam.jpg"), picture);
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.jpg?1712345678901"), ExpectedAnswer(picture, "image/jpeg"));
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.jpg??"), ExpectedAnswer(picture, "image/jpeg"));

    WriteFileText(dir.File("webcam.jpg"), "smaller");
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.jpg?2"), ExpectedAnswer("smaller", "image/jpeg"));
}

TEST_F(ServerAnswers, PicturesLargerThanEveryBufferArriveWhole) {
    ASSERT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
    std::string picture(3 * 1024 * 1024 + 17, 'p');
    picture[12345] = 'q';
    WriteFileText(dir.File("webcam.jpg"), picture);
    EXPECT_EQ(Fetch("127.0.0.2", "webcam.jpg?1"), ExpectedAnswer(picture, "image/jpeg"));
}

TEST_F(ServerAnswers, AFileThatYieldsOtherThanItsSizeIsSentAsRead) {
    ASSERT_EQ(Fetch("127.0.0.2", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
    // A file whose size on opening is 0 but which yields bytes, as a file being replaced may.
    programState.jpegPath = "/proc/self/status";
    std::string answer = Fetch("127.0.0.2", "webcam.jpg?1");
    std::string body = BodyOf(answer);
    EXPECT_GT(body.size(), 100u);
    EXPECT_NE(body.find("Name:"), std::string::npos);
    EXPECT_EQ(answer, ExpectedAnswer(body, "image/jpeg"));
}

TEST_F(ServerAnswers, TwoBrowsersBehindOneAddressShareItsLogin) {
    ClientSocket first("127.0.0.2", port);
    ClientSocket second("127.0.0.2", port);
    ASSERT_TRUE(first.Send(GetRequest("login.html?username=a&password=b&Login=Login")));
    EXPECT_EQ(first.ReadUntilClosed(), ExpectedAnswer(viewer));
    ASSERT_TRUE(second.Send(GetRequest("webcam.html")));
    EXPECT_EQ(second.ReadUntilClosed(), ExpectedAnswer(viewer));
}

TEST_F(ServerAnswers, ACharacterOutsideIso885915IsAWrongLoginNeverAQuestionMark) {
    // What an earlier version stored for the user name "ЖЖЖЖЖЖ" and the password "пароль".
    const std::string marks = "%3F%3F%3F%3F%3F%3F";
    programState.settingUsername.Set("??????");
    programState.settingPasswordHash.Set(Sha1Hex(std::string("??????")));
    const std::string zhe = "%D0%96%D0%96%D0%96%D0%96%D0%96%D0%96";
    const std::string parol = "%D0%BF%D0%B0%D1%80%D0%BE%D0%BB%D1%8C";
    const std::string chinese = "%E6%97%A5%E6%9C%AC%E8%AA%9E%E4%B8%AD%E6%96%87%E5%AD%97";
    for (const std::string& path : {"login.html?username=" + zhe + "&password=" + parol,
                                    "login.html?username=" + marks + "&password=" + parol,
                                    "login.html?username=" + chinese + "&password=" + marks})
        EXPECT_EQ(Fetch("127.0.0.2", path), ExpectedAnswer(failed)) << path;
    EXPECT_EQ(Fetch("127.0.0.2", "login.html?username=" + marks + "&password=" + marks), ExpectedAnswer(viewer));

    // The euro sign and S caron have places of their own.
    programState.settingUsername.Set("\xA4uro");
    programState.settingPasswordHash.Set(Sha1Hex(std::string("\xA6\xA4")));
    EXPECT_EQ(Fetch("127.0.0.3", "login.html?username=%E2%82%ACuro&password=%C5%A0%E2%82%AC"), ExpectedAnswer(viewer));
}
