// Every answer of the web server: the one fixed header, a built-in page or the camera picture,
// sent whole, then the connection closed.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct Connection;

// Writes the four header lines and the empty line at `buffer`; returns where the header ends.
char* BuildResponseHeader(char* buffer, int64_t bodyLength, std::string_view contentType);
// Answers with the page of the name (every "?" removed first) and closes the connection.
void ServePage(const std::string& pageName, Connection& connection);
