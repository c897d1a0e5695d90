// The stored pages and the header, byte for byte: lengths, line ends, the lines in which the
// pages differ from each other, and the header's exact form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/pages.h"
#include "web/response.h"

namespace {

std::vector<std::string> Lines(std::string_view page) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = page.find("\r\n", start)) != std::string_view::npos; start = end + 2)
        lines.emplace_back(page.substr(start, end - start));
    lines.emplace_back(page.substr(start));
    return lines;
}

std::string Header(int64_t length, std::string_view type) {
    char buffer[200];
    return std::string(buffer, BuildResponseHeader(buffer, length, type));
}

}  // namespace

TEST(Pages, HaveTheirExactLengths) {
    EXPECT_EQ(loginPage.size(), 1339u);
    EXPECT_EQ(viewerPage.size(), 1745u);
    EXPECT_EQ(popupPage.size(), 1703u);
    EXPECT_EQ(redirectPage.size(), 540u);
    EXPECT_EQ(authorizationFailedPage.size(), 644u);
    EXPECT_EQ(notFoundPage.size(), 642u);
}

TEST(Pages, EndLinesWithCrLfAndOnlyTheLoginFormEndsWithOne) {
    for (std::string_view page : {loginPage, viewerPage, popupPage, redirectPage,
                                  authorizationFailedPage, notFoundPage}) {
        for (size_t i = 0; i < page.size(); ++i) {
            if (page[i] == '\n') {
                ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << "bare LF at " << i;
            }
            if (page[i] == '\r') {
                ASSERT_TRUE(i + 1 < page.size() && page[i + 1] == '\n');
            }
            ASSERT_TRUE(page[i] > 0) << "not ASCII at " << i;
        }
        bool endsWithCrLf = page.substr(page.size() - 2) == "\r\n";
        EXPECT_EQ(endsWithCrLf, page == loginPage);
        EXPECT_EQ(page.substr(0, 9), "<!DOCTYPE");
    }
    EXPECT_EQ(Lines(loginPage).size(), 76u);  // 75 lines and the empty rest after the last CR LF
    EXPECT_EQ(Lines(viewerPage).size(), 68u);
    EXPECT_EQ(Lines(redirectPage).size(), 17u);
    EXPECT_EQ(Lines(notFoundPage).size(), 20u);
}

TEST(Pages, OpenWithTheSameFiveLines) {
    std::vector<std::string> viewer = Lines(viewerPage);
    std::vector<std::string> opening(viewer.begin(), viewer.begin() + 5);
    EXPECT_EQ(opening[0],
              "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
    EXPECT_EQ(opening[1], "<html xmlns=\"http://www.w3.org/1999/xhtml\">");
    EXPECT_EQ(opening[2], " ");
    EXPECT_EQ(opening[3], "<head profile=\"http://www.w3.org/2005/10/profile\">");
    EXPECT_EQ(opening[4], " ");
    for (std::string_view page : {loginPage, popupPage, redirectPage, authorizationFailedPage, notFoundPage}) {
        std::vector<std::string> lines = Lines(page);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), opening);
    }
}

TEST(Pages, ViewerCarriesItsOddWhitespaceAndReloadsEveryHalfSecond) {
    std::vector<std::string> viewer = Lines(viewerPage);
    EXPECT_EQ(viewer[24], "  newwindow.focus();");
    EXPECT_EQ(viewer[32], "}\t\t");
    EXPECT_NE(viewerPage.find("document.images.myImageName.src = 'webcam.jpg?' + now.getTime();"),
              std::string_view::npos);
    EXPECT_NE(viewerPage.find("setTimeout('reloadImage()',500);"), std::string_view::npos);
    EXPECT_EQ(viewer[55],
              "<a href=\"popup.html\" onclick=\"popup(this.href,600,450); return false;\">Popup-Window</a>");
}

TEST(Pages, PopupDiffersFromTheViewerInTheLinkLineOnly) {
    std::vector<std::string> viewer = Lines(viewerPage), popup = Lines(popupPage);
    ASSERT_EQ(viewer.size(), popup.size());
    for (size_t i = 0; i < viewer.size(); ++i)
        if (i != 55) {
            EXPECT_EQ(viewer[i], popup[i]) << "line " << i + 1;
        }
    EXPECT_EQ(popup[55], "<a href=\"javascript:window.close()\">Close</a>");
}

TEST(Pages, ErrorPagesDifferInTitleAndMessageOnly) {
    std::vector<std::string> notFound = Lines(notFoundPage), failed = Lines(authorizationFailedPage);
    ASSERT_EQ(notFound.size(), failed.size());
    for (size_t i = 0; i < notFound.size(); ++i)
        if (i != 9 && i != 16) {
            EXPECT_EQ(notFound[i], failed[i]) << "line " << i + 1;
        }
    EXPECT_EQ(notFound[9], "<title>Lumora - Error 404</title>");
    EXPECT_EQ(failed[9], "<title>Lumora - Authorization failed</title>");
    EXPECT_EQ(notFound[16], "<p style=\"color:red;\">Error 404: Requested file not found.</p>");
    EXPECT_EQ(failed[16], "<p style=\"color:red;\">Error: Authorization failed</p>");
}

TEST(Pages, RedirectMovesToTheViewerAfterOneSecond) {
    EXPECT_NE(redirectPage.find("<meta http-equiv=\"refresh\" content=\"1 url=webcam.html\" />"),
              std::string_view::npos);
}

TEST(PageTable, PicksPagesByExactKey) {
    EXPECT_EQ(PageForKey(""), loginPage);
    EXPECT_EQ(PageForKey("index.html"), loginPage);
    EXPECT_EQ(PageForKey("webcam.html"), viewerPage);
    EXPECT_EQ(PageForKey("popup.html"), popupPage);
    EXPECT_EQ(PageForKey("login.html"), redirectPage);
    EXPECT_EQ(PageForKey("error2.html"), authorizationFailedPage);
    EXPECT_EQ(PageForKey("error.html"), notFoundPage);
    EXPECT_EQ(PageForKey("Index.html"), notFoundPage);
    EXPECT_EQ(PageForKey("webcam.htm"), notFoundPage);
}

TEST(ResponseHeader, IsFourLinesAndAnEmptyOne) {
    std::string login = Header(1339, "text/html");
    EXPECT_EQ(login, "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: 1339\r\n"
                     "Content-Type: text/html\r\n\r\n");
    EXPECT_EQ(login.size(), 89u);
    EXPECT_EQ(Header(0, "image/jpeg"),
              "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: 0\r\nContent-Type: image/jpeg\r\n\r\n");
    EXPECT_NE(Header(3000000000, "image/jpeg").find("Content-Length: 3000000000\r\n"), std::string::npos);
}
