// Reading a request: the path cut from the request line, and query parameters found by name
// (letter case ignored) with their values exactly as sent.
#include <gtest/gtest.h>

#include "web/routing.h"

namespace {

std::string PathOf(std::string_view text) {
    std::string path = "unset";
    return RequestPathOf(text, path) ? path : "(no GET)";
}

}  // namespace

TEST(RequestPath, IsTheTextAfterGetSlashUpToTheNextSpace) {
    EXPECT_EQ(PathOf("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), "");
    EXPECT_EQ(PathOf("GET /index.html?id=abc HTTP/1.1\r\n"), "index.html?id=abc");
    EXPECT_EQ(PathOf("GET /webcam.jpg?1712345678901 HTTP/1.1"), "webcam.jpg?1712345678901");
    // Only "GET" and the space are looked at; the fifth character is skipped whatever it is.
    EXPECT_EQ(PathOf("GETX/abc def"), "abc");
    EXPECT_EQ(PathOf("GET  /x HTTP/1.1"), "");
}

TEST(RequestPath, IsEmptyWithoutASpaceAfterThePath) {
    EXPECT_EQ(PathOf("GET /index.html"), "");
    EXPECT_EQ(PathOf("GET /"), "");
    EXPECT_EQ(PathOf("GET"), "");
}

TEST(RequestPath, OnlyUpperCaseGetIsARequest) {
    EXPECT_EQ(PathOf("get / HTTP/1.1"), "(no GET)");
    EXPECT_EQ(PathOf("POST / HTTP/1.1"), "(no GET)");
    EXPECT_EQ(PathOf("GE"), "(no GET)");
    EXPECT_EQ(PathOf(""), "(no GET)");
}

TEST(QueryParameter, FindsNamesWithoutLetterCase) {
    EXPECT_EQ(GetQueryParameter("index.html?id=abc", "id"), "abc");
    EXPECT_EQ(GetQueryParameter("index.html?ID=abc", "id"), "abc");
    EXPECT_EQ(GetQueryParameter("login.html?username=a&password=b&Login=Login", "password"), "b");
    EXPECT_EQ(GetQueryParameter("login.html?Login=Login&PassWord=b&username=a", "password"), "b");
    EXPECT_EQ(GetQueryParameter("login.html?Login=Login&PassWord=b&username=a", "username"), "a");
    EXPECT_EQ(GetQueryParameter("login.html?Login=Login&PassWord=b&username=a", "login"), "Login");
}

TEST(QueryParameter, ReturnsValuesAsSent) {
    EXPECT_EQ(GetQueryParameter("login.html?password=a+b%20c", "password"), "a+b%20c");
    EXPECT_EQ(GetQueryParameter("x?id=ABC", "id"), "ABC");
    EXPECT_EQ(GetQueryParameter("x?id=", "id"), "");
    EXPECT_EQ(GetQueryParameter("x?id==", "id"), "=");
    EXPECT_EQ(GetQueryParameter("x?a=1?id=2", "a"), "1?id=2");
}

TEST(QueryParameter, EndsAtAmpersandOrElseAtHash) {
    EXPECT_EQ(GetQueryParameter("x?id=abc#top", "id"), "abc");
    EXPECT_EQ(GetQueryParameter("x?id=a#b&n=1", "id"), "a#b");
    EXPECT_EQ(GetQueryParameter("x?n=1&id=abc#a#b", "id"), "abc");
}

TEST(QueryParameter, IsEmptyWhenAbsent) {
    EXPECT_EQ(GetQueryParameter("index.html", "id"), "");
    EXPECT_EQ(GetQueryParameter("index.html?", "id"), "");
    EXPECT_EQ(GetQueryParameter("index.html?idx=abc", "id"), "");
    EXPECT_EQ(GetQueryParameter("index.html?i=abc", "id"), "");
    EXPECT_EQ(GetQueryParameter("index.html?x=1&y=2", "id"), "");
    // A parameter without "=" swallows the next one's name.
    EXPECT_EQ(GetQueryParameter("index.html?flag&id=abc", "id"), "");
    EXPECT_EQ(GetQueryParameter("index.html?flag&x=1&id=abc", "id"), "abc");
    // The "&" that separates is searched for after the "=", so "&" in a name does not count.
    EXPECT_EQ(GetQueryParameter("x?a&b=1", "b"), "");
}
