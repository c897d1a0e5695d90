// Routing of one GET request by its page name: the first 11 characters of the path, compared
// exactly. A logged-in address gets what it asks for, a stranger the login form or an error.
#include "web/routing.h"

#include "core/constants.h"
#include "core/text_util.h"
#include "web/login.h"
#include "web/response.h"

namespace {

constexpr size_t pageNameLength = 11;
constexpr std::string_view indexWithQuery = "index.html?";
constexpr std::string_view loginWithQuery = "login.html?";

}  // namespace

bool RequestPathOf(std::string_view requestText, std::string& path) {
    if (requestText.substr(0, 3) != "GET") return false;
    size_t space = requestText.find(' ', 4);
    path = space == std::string_view::npos || space < 5
               ? std::string()
               : StripSpaces(requestText.substr(5, space - 5));
    return true;
}

std::string GetQueryParameter(const std::string& path, const std::string& name) {
    size_t separator = path.find('?');
    while (separator != std::string::npos) {
        size_t start = separator + 1;
        size_t equals = path.find('=', start);
        if (equals == std::string::npos) return {};
        if (EqualsIgnoringCase(std::string_view(path).substr(start, equals - start), name)) {
            size_t end = path.find('&', equals + 1);
            if (end == std::string::npos) end = path.find('#', equals + 1);
            return path.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
        }
        separator = path.find('&', equals + 1);
    }
    return {};
}

void HandleRequest(const std::string& path, Connection& connection) {
    std::string pageName = StripSpaces(std::string_view(path).substr(0, pageNameLength));
    if (IsLoggedIn(connection)) {
        bool front = pageName.empty() || pageName == pages::index || pageName == indexWithQuery;
        ServePage(front ? pages::webcam : pageName, connection);
    } else if (pageName.empty() || pageName == pages::index) {
        ServePage(pages::index, connection);
    } else if (pageName == indexWithQuery) {
        bool admitted = SessionIdMatches(GetQueryParameter(path, "id"));
        if (admitted) LogInClient(connection);
        ServePage(admitted ? pages::webcam : pages::index, connection);
    } else if (pageName == pages::error2) {
        ServePage(pages::error2, connection);
    } else if (pageName == loginWithQuery) {
        bool admitted = FormLoginAdmits(connection, GetQueryParameter(path, "username"),
                                        GetQueryParameter(path, "password"));
        if (admitted) LogInClient(connection);
        ServePage(admitted ? pages::webcam : pages::error2, connection);
    } else {
        ServePage(pages::error, connection);
    }
}
