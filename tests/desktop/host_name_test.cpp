// Which address field texts may become the host of the address the browser is handed: dotted
// addresses alone, and the number they stand for.
#include <gtest/gtest.h>

#include "desktop/host_name.h"

TEST(DottedAddress, FourDecimalNumbersUpTo255AndNothingElse) {
    for (const char* text : {"203.0.113.7", "255.255.255.255", "0.0.0.0", "10.0.0.1"})
        EXPECT_TRUE(IsDottedAddress(text)) << text;
    for (const char* text : {"", "localhost", "attacker-host.test", "203.0.113.7.example.org", "3com.com",
                             "1.2.3.4 -profile /tmp/p", " 1.2.3.4", "1.2.3.4\t", "1.2.3.4\x1b[2J", "host:80",
                             "256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.", "+1.2.3.4", "0x7f.0.0.1",
                             "010.0.0.1", "1.2.3.04", "1000.1.1.1"})
        EXPECT_FALSE(IsDottedAddress(text)) << text;
}

TEST(DottedAddress, DottedAddressesNeedNoLookup) {
    uint32_t address = 0;
    EXPECT_TRUE(ParseIPv4("203.0.113.7", address));
    EXPECT_EQ(address, 0xCB007107u);
    for (const char* text : {"010.0.0.1", "1.2.3", "256.1.1.1", "localhost", " 1.2.3.4"})
        EXPECT_FALSE(ParseIPv4(text, address)) << text;
}
