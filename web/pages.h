// The built-in pages the web server answers with, and which one belongs to a page key.
// Nothing in them is filled in when they are served.
#pragma once
#include <string_view>

extern const std::string_view loginPage;
extern const std::string_view viewerPage;
extern const std::string_view popupPage;
extern const std::string_view redirectPage;
extern const std::string_view authorizationFailedPage;
extern const std::string_view notFoundPage;

// The page for a key (a page name without "?"), compared exactly; the not-found page for any
// key without a page of its own. The picture is not a page.
std::string_view PageForKey(std::string_view key);
