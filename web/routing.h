// Which answer a request gets: the request path from the request text, the page name from the
// path, and the login checks on the way.
#pragma once
#include <string>
#include <string_view>

struct Connection;

// For a text starting with "GET": true, and the path after "GET /" up to the first space from
// the fifth character on, spaces trimmed (empty when there is no such space).
bool RequestPathOf(std::string_view requestText, std::string& path);
// The value of the query parameter of that name (letter case ignored), as it stands; empty when
// absent.
std::string GetQueryParameter(const std::string& path, const std::string& name);
// Answers the request and closes the connection.
void HandleRequest(const std::string& path, Connection& connection);
