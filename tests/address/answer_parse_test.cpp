// The address-echo service's answer parsed from bytes: a head cut anywhere is incomplete until its
// empty line has come, and a chunked body gives the same bytes however it is split into pieces.
#include <gtest/gtest.h>

#include <string>

#include "desktop/answer_parse.h"

namespace {

void ExpectSameHead(const AnswerHead& got, const AnswerHead& want, const std::string& context) {
    EXPECT_EQ(got.accepted, want.accepted) << context;
    EXPECT_EQ(got.hasLength, want.hasLength) << context;
    EXPECT_EQ(got.length, want.length) << context;
    EXPECT_EQ(got.chunked, want.chunked) << context;
    EXPECT_EQ(got.bodyStart, want.bodyStart) << context;
}

TEST(ParseAnswerHead, EveryPrefixIsIncompleteUntilTheEmptyLineAndThenGivesTheWholeHead) {
    struct Case {
        std::string answer;
        AnswerHead want;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length:  12\r\nServer: x\r\n\r\n203.0.113.9\n", {true, true, 12, false, 51}},
        {"HTTP/1.0 302 Found\nTRANSFER-ENCODING: chunked\n\nb\n203.0.113.9\n0\n\n", {true, false, 0, true, 47}},
        {"HTTP/1.1 404 Not Found\rcontent-length: 3\r\rabc", {false, true, 3, false, 42}},
        {"HTTP/1.1 200 OK\r\n\r\n", {true, false, 0, false, 19}},
    };
    for (const Case& c : cases) {
        for (size_t n = 0; n <= c.answer.size(); ++n) {
            std::string prefix = c.answer.substr(0, n);
            std::string context = "prefix of " + std::to_string(n) + " bytes of: " + c.answer;
            AnswerHead head;
            // The empty line is only certain once a CR at the very end cannot be a CR LF.
            bool complete = n > c.want.bodyStart || (n == c.want.bodyStart && prefix.back() == '\n');
            ASSERT_EQ(ParseAnswerHead(prefix, false, head), complete) << context;
            if (complete) ExpectSameHead(head, c.want, context);
            // With the peer gone whatever came is the head, and it never reaches past the bytes.
            ASSERT_TRUE(ParseAnswerHead(prefix, true, head)) << context;
            EXPECT_LE(head.bodyStart, n) << context;
            if (complete) ExpectSameHead(head, c.want, context);
        }
    }
}

TEST(ParseAnswerHead, AHeadEndedByThePeerKeepsWhatItsLinesSaid) {
    AnswerHead head;
    ASSERT_TRUE(ParseAnswerHead("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999", true, head));
    EXPECT_TRUE(head.accepted);
    EXPECT_TRUE(head.hasLength);
    EXPECT_EQ(head.length, UINT64_MAX);
    EXPECT_EQ(head.bodyStart, 56u);
    ASSERT_TRUE(ParseAnswerHead("HTTP/1.1 20", true, head));
    EXPECT_FALSE(head.accepted);
    EXPECT_EQ(head.bodyStart, 11u);
}

struct Decoded {
    std::string body;
    bool done = false;
};

Decoded DecodeInPieces(const std::string& encoded, size_t first, size_t second) {
    ChunkDecoder decoder;
    Decoded out;
    decoder.Feed(std::string_view(encoded).substr(0, first), out.body);
    decoder.Feed(std::string_view(encoded).substr(first, second - first), out.body);
    decoder.Feed(std::string_view(encoded).substr(second), out.body);
    out.done = decoder.done();
    return out;
}

TEST(ChunkDecoder, EverySplitIntoThreePiecesGivesTheSameBodyAndEveryPrefixAPrefixOfIt) {
    struct Case {
        std::string encoded;
        std::string body;
        size_t end;  // where the body's last line end has been read
    };
    const Case cases[] = {
        {"5\r\nhello\r\n1;note=1\r\n \r\nA\r\n0123456789\r\n0\r\n\r\ntrailing", "hello 0123456789", 41},
        {"3\nabc\n2\nde\n0\n", "abcde", 13},
        {"4\rwxyz\r0\r\n", "wxyz", 10},
    };
    for (const Case& c : cases) {
        for (size_t first = 0; first <= c.encoded.size(); ++first) {
            for (size_t second = first; second <= c.encoded.size(); ++second) {
                Decoded got = DecodeInPieces(c.encoded, first, second);
                ASSERT_EQ(got.body, c.body) << c.encoded << " split at " << first << " and " << second;
                ASSERT_EQ(got.done, c.encoded.size() >= c.end) << c.encoded;
            }
            Decoded prefix = DecodeInPieces(c.encoded.substr(0, first), first / 2, first);
            ASSERT_EQ(c.body.compare(0, prefix.body.size(), prefix.body), 0) << c.encoded << " cut at " << first;
            ASSERT_EQ(prefix.done, first >= c.end) << c.encoded << " cut at " << first;
        }
    }
}

TEST(ChunkDecoder, ASizeBeyondSixtyFourBitsEndsTheBody) {
    Decoded got = DecodeInPieces("2\r\nok\r\n10000000000000000\r\nmore", 3, 9);
    EXPECT_TRUE(got.done);
    EXPECT_EQ(got.body, "ok");
}

}  // namespace
