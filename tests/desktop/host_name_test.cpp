// Which address field texts may become the host of the address the browser is handed.
#include <gtest/gtest.h>

#include "desktop/host_name.h"

TEST(HostAddress, IPv4AddressesAndHostNamesPass) {
    for (const char* text : {"203.0.113.7", "0.0.0.0", "255.255.255.255", "localhost", "cam-1.example.org",
                             "xn--bcher-kva.de", "a.b2", "3com.com"})
        EXPECT_TRUE(IsHostAddress(text)) << text;
}

TEST(HostAddress, BlanksOptionsQuotesAndMalformedNamesAreRefused) {
    std::string longLabel(64, 'a');
    std::string longName;
    while (longName.size() < 254) longName += "abcdefgh.";
    longName += "org";
    for (const std::string& text :
         {std::string(""), std::string("1.2.3.4 -profile /tmp/p"), std::string("-profile"), std::string("a\"b"),
          std::string("host/path"), std::string("user@host"), std::string("host:80"), std::string("256.1.1.1"),
          std::string("1.2.3"), std::string("1.2.3.4.5"), std::string("a..b"), std::string(".a"), std::string("a."),
          std::string("a-.b"), std::string("\xe4.de"), longLabel + ".org", longName, std::string("a\tb")})
        EXPECT_FALSE(IsHostAddress(text)) << text;
}
