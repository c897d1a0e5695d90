// Which address field texts may become the host of the address the browser is handed.
#include <gtest/gtest.h>

#include "desktop/host_name.h"

TEST(HostAddress, OnlyIPv4AddressesAndWellFormedHostNamesPass) {
    for (const char* text : {"203.0.113.7", "255.255.255.255", "localhost", "cam-1.example.org", "3com.com"})
        EXPECT_TRUE(IsHostAddress(text)) << text;
    for (const char* text : {"", "1.2.3.4 -profile /tmp/p", "-profile", "a\"b", "host/path", "user@host",
                             "host:80", "256.1.1.1", "1.2.3", "a..b", "a.", "a-.b", "\xe4.de", "a\tb"})
        EXPECT_FALSE(IsHostAddress(text)) << text;
    EXPECT_FALSE(IsHostAddress(std::string(64, 'a') + ".org"));
    EXPECT_FALSE(IsHostAddress(std::string(250, 'a').insert(63, ".").insert(127, ".").insert(191, ".") + ".org"));
}

TEST(HostAddress, DottedAddressesNeedNoLookup) {
    uint32_t address = 0;
    EXPECT_TRUE(ParseIPv4("203.0.113.7", address));
    EXPECT_EQ(address, 0xCB007107u);
    for (const char* text : {"010.0.0.1", "1.2.3", "256.1.1.1", "localhost", " 1.2.3.4"})
        EXPECT_FALSE(ParseIPv4(text, address)) << text;
}
