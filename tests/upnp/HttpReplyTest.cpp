#include "HttpReply.h"

#include <gtest/gtest.h>

namespace flowtally {
namespace {

using State = HttpReply::State;
const QByteArray kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n";

struct Framing {
    const char *what;
    QByteArray received;
    bool closed;
    State state;
    QByteArray body = {};
    int status = 200;
};

TEST(HttpReply, FramesTheBodyByLengthChunksOrTheEnd) {
    const QByteArray limit(64 * 1024, 'x');
    const std::vector<Framing> cases = {
        {"length", kHead + "Content-Length: 5\r\n\r\nhello", false, State::Complete, "hello"},
        {"length, more after it", kHead + "Content-Length: 2\r\n\r\nhello", false, State::Complete,
         "he"},
        {"length, part of the body", kHead + "Content-Length: 5\r\n\r\nhel", false,
         State::Incomplete},
        {"length, closed inside the body", kHead + "Content-Length: 5\r\n\r\nhel", true,
         State::Failed},
        {"LF line ends", "HTTP/1.0 500 Internal\nContent-Length: 2\n\nno", false, State::Complete,
         "no", 500},
        {"chunks",
         kHead + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n"
                 "0\r\n\r\n",
         false, State::Complete, "hello world"},
        {"chunks with a trailer",
         kHead + "Transfer-Encoding: Chunked\r\n\r\n2\r\nab\r\n0\r\n"
                 "X-Trailer: 1\r\n\r\n",
         false, State::Complete, "ab"},
        {"chunks, the last one not yet", kHead + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\n",
         false, State::Incomplete},
        {"chunks, closed after the last",
         kHead + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n", true, State::Complete, "ab"},
        {"chunks, closed inside", kHead + "Transfer-Encoding: chunked\r\n\r\n5\r\nab", true,
         State::Failed},
        {"a chunk longer than it says",
         kHead + "Transfer-Encoding: chunked\r\n\r\n1\r\nab\r\n0\r\n\r\n", false, State::Failed},
        {"a chunk size not hex", kHead + "Transfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n", false,
         State::Failed},
        {"to the end, still open", kHead + "\r\nhello", false, State::Incomplete},
        {"to the end, closed", kHead + "\r\nhello", true, State::Complete, "hello"},
        {"interim reply first",
         "HTTP/1.1 100 Continue\r\n\r\n" + kHead + "Content-Length: 1\r\n\r\nx", false,
         State::Complete, "x"},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, State::Complete, "", 204},
        {"64 KiB by length", kHead + "Content-Length: 65536\r\n\r\n" + limit, false,
         State::Complete, limit},
        {"64 KiB + 1 by length, before it comes", kHead + "Content-Length: 65537\r\n\r\n", false,
         State::Failed},
        {"64 KiB + 1 to the end", kHead + "\r\n" + limit + "x", false, State::Failed},
        {"64 KiB + 1 in chunks",
         kHead + "Transfer-Encoding: chunked\r\n\r\n10000\r\n" + limit + "\r\n1\r\nx\r\n0\r\n\r\n",
         false, State::Failed},
        {"two lengths", kHead + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false,
         State::Failed},
        {"a length not a number", kHead + "Content-Length: -1\r\n\r\n", false, State::Failed},
        {"a length over any limit", kHead + "Content-Length: 99999999999999999999\r\n\r\n", false,
         State::Failed},
        {"another coding", kHead + "Transfer-Encoding: gzip\r\n\r\n", false, State::Failed},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false, State::Failed},
        {"a status not three digits", "HTTP/1.1 20 OK\r\n\r\n", true, State::Failed},
        {"a status below 100", "HTTP/1.1 050 OK\r\n\r\n", true, State::Failed},
        {"a folded header line", kHead + " folded\r\n\r\n", true, State::Failed},
        {"nothing, closed", "", true, State::Failed},
        {"header lines without end", kHead + QByteArray(9000, 'h'), false, State::Failed},
    };
    for (const Framing &c : cases) {
        const HttpReply reply = readHttpReply(c.received, c.closed);
        EXPECT_EQ(reply.state, c.state) << c.what << ": " << reply.failure.toStdString();
        if (c.state == State::Complete) {
            EXPECT_EQ(reply.body, c.body) << c.what;
            EXPECT_EQ(reply.status, c.status) << c.what;
        } else if (c.state == State::Failed) {
            EXPECT_FALSE(reply.failure.isEmpty()) << c.what;
        }
    }
}

TEST(HttpReply, ReadsAReplyThatComesByteByByte) {
    const QByteArray whole =
        kHead + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n";
    for (qsizetype size = 0; size < whole.size(); ++size)
        ASSERT_EQ(readHttpReply(whole.left(size), false).state, State::Incomplete) << size;
    EXPECT_EQ(readHttpReply(whole, false).body, "abcde");
}

} // namespace
} // namespace flowtally
