// Any first read of a request, from a browser that is or is not logged in, through the whole
// answer: every answer is complete and is one of the pages or the picture, a stranger gets in
// only with the session id or the right user name and password, and nobody else's page leaks.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "tests/fuzz/check.h"
#include "web/connection.h"
#include "web/form_value.h"
#include "web/login.h"
#include "web/pages.h"
#include "web/routing.h"
#include "web/server_thread.h"

namespace {

const std::string sessionId = "3c9e2d4f8a1b7c6d5e4f3a2b1c0d9e8f7a6b5c4d";
const std::string picture = "\xFF\xD8 a picture for the routing fuzzer \xFF\xD9";
constexpr uint32_t browser = 0x7F000002;  // 127.0.0.2

void PrepareOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    ProgramState& s = programState;
    s.sessionId = sessionId;
    s.settingUsername.Set("anna");
    s.settingPasswordHash.Set(Sha1Hex(std::string("pw")));
    s.jpegPath = "/tmp/lumora-fuzz-routing-" + std::to_string(getpid()) + ".jpg";
    Check(ReplaceFileContent(s.jpegPath, picture));
    atexit([] { unlink(programState.jpegPath.c_str()); });
}

std::string ReadAll(int fd) {
    std::string received;
    char chunk[8192];
    for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;) received.append(chunk, size_t(n));
    return received;
}

enum class Answer { Login, Viewer, Popup, Redirect, AuthorizationFailed, NotFound, Picture };

// Takes the answer apart; aborts unless it is whole and one of the known ones.
Answer Classify(const std::string& answer) {
    const std::string opening = "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: ";
    Check(answer.compare(0, opening.size(), opening) == 0);
    size_t lengthEnd = answer.find("\r\n", opening.size());
    Check(lengthEnd != std::string::npos);
    std::string length = answer.substr(opening.size(), lengthEnd - opening.size());
    Check(!length.empty() && length.find_first_not_of("0123456789") == std::string::npos);
    size_t headEnd = answer.find("\r\n\r\n");
    Check(headEnd != std::string::npos);
    std::string type = answer.substr(lengthEnd + 2, headEnd - lengthEnd - 2);
    std::string body = answer.substr(headEnd + 4);
    Check(body.size() == std::stoul(length));
    if (type == "Content-Type: image/jpeg") {
        Check(body == picture);
        return Answer::Picture;
    }
    Check(type == "Content-Type: text/html");
    if (body == loginPage) return Answer::Login;
    if (body == viewerPage) return Answer::Viewer;
    if (body == popupPage) return Answer::Popup;
    if (body == redirectPage) return Answer::Redirect;
    if (body == authorizationFailedPage) return Answer::AuthorizationFailed;
    Check(body == notFoundPage);
    return Answer::NotFound;
}

bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    PrepareOnce();
    ProgramState& s = programState;
    bool loggedInBefore = data[0] & 1;
    s.loggedInClients.clear();
    s.clientLastSeen.clear();
    s.clientStamps.clear();
    s.wrongLoginTimes.clear();
    if (loggedInBefore) s.loggedInClients.push_back(browser);

    int ends[2];
    Check(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0);
    Connection connection;
    connection.socket = ends[0];
    connection.peerAddress = browser;

    // What the server thread takes of one read: the receive area, up to the first zero byte.
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    text = text.substr(0, receiveAreaSize);
    text = text.substr(0, text.find('\0'));
    StampClient(browser);
    std::string path;
    bool isGet = RequestPathOf(text, path);
    if (isGet) HandleRequest(path, connection);
    close(ends[0]);
    std::string answer = ReadAll(ends[1]);
    close(ends[1]);

    if (!isGet) {
        Check(answer.empty());
        return 0;
    }
    Answer kind = Classify(answer);
    bool loggedInAfter = IsLoggedIn(connection);
    if (loggedInBefore) {
        Check(loggedInAfter && s.loggedInClients.size() == 1);
        // The login form only for a name that is the front page once its "?" are gone.
        std::string key = RemoveAll(StripSpaces(std::string_view(path).substr(0, 11)), "?");
        if (kind == Answer::Login) Check(key.empty() || key == "index.html");
        if (kind == Answer::AuthorizationFailed) Check(path.compare(0, 11, "error2.html") == 0);
        return 0;
    }
    // A stranger sees the viewer only on being let in, and nothing behind the login otherwise.
    Check(kind != Answer::Picture && kind != Answer::Popup && kind != Answer::Redirect);
    Check((kind == Answer::Viewer) == loggedInAfter);
    if (loggedInAfter) {
        bool byId = path.compare(0, 11, "index.html?") == 0 && Contains(path, sessionId);
        // Each value as sent or with the form's encoding undone; a value holding a character
        // outside ISO-8859-15 is never one of them.
        auto sentAs = [&](const char* name, const std::string& meant) {
            std::string value = GetQueryParameter(path, name);
            return value == meant || DecodeFormValue(value) == meant;
        };
        bool byForm = path.compare(0, 11, "login.html?") == 0 && sentAs("username", "anna") &&
                      sentAs("password", "pw");
        Check(byId || byForm);
    }
    return 0;
}
