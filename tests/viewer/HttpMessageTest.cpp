// Request parsing and header rules, on the bytes a client may send.
#include <gtest/gtest.h>

#include "viewer/server/HttpMessage.h"

namespace folivex::http {
namespace {

TEST(ParseRequest, ReadsAHeadAndWaitsForTheRest) {
    Request r;
    std::string bytes =
        "GET /book/a%20b.htm?q=x HTTP/1.1\r\nHost: h\r\nACCEPT-Encoding:  deflate \r\n\r\nGET "
        "/next";
    ParseResult p = ParseRequest(bytes, 16384, r);
    ASSERT_EQ(p.status, ParseStatus::complete);
    EXPECT_EQ(p.consumed, bytes.find("GET /next"));
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.Path(), "/book/a%20b.htm");
    EXPECT_EQ(r.Query(), "q=x");
    EXPECT_EQ(*r.Header("accept-encoding"), "deflate");
    EXPECT_TRUE(r.keepAlive);
    EXPECT_EQ(ParseRequest("GET / HTTP/1.1\r\nHost: h\r\n", 16384, r).status,
              ParseStatus::incomplete);
    EXPECT_EQ(ParseRequest("POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\nab", 16384, r).status,
              ParseStatus::incomplete);
}

TEST(ParseRequest, RefusesWhatItCannotServe) {
    Request r;
    auto status = [&](const std::string& bytes, size_t max = 16384) {
        ParseResult p = ParseRequest(bytes, max, r);
        return p.status == ParseStatus::failed ? p.errorStatus : 0;
    };
    EXPECT_EQ(status("GET / HTTP/1.1\r\nX: " + std::string(300, 'a'), 256), 431);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nX: " + std::string(300, 'a') + "\r\n\r\n", 256), 431);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 999999999999999\r\n\r\n"), 413);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"), 501);
    EXPECT_EQ(status("GET / HTTP/3.0\r\n\r\n"), 505);
    EXPECT_EQ(status("GET /\r\n\r\n"), 400);
    EXPECT_EQ(status("GET /a\x01 HTTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nNo colon\r\n\r\n"), 400);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nBad Name: x\r\n\r\n"), 400);
    EXPECT_EQ(status(std::string("GET / HTTP/1.1\r\nX: a\0b\r\n\r\n", 26)), 400);
}

TEST(ParseRequest, KeepsAliveByVersionAndConnectionHeader) {
    Request r;
    ParseRequest("GET / HTTP/1.1\r\nConnection: Keep-Alive, Close\r\n\r\n", 1024, r);
    EXPECT_FALSE(r.keepAlive);
    ParseRequest("GET / HTTP/1.0\r\n\r\n", 1024, r);
    EXPECT_FALSE(r.keepAlive);
    ParseRequest("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 1024, r);
    EXPECT_TRUE(r.keepAlive);
}

TEST(HeaderRules, DeflateEtagsAndQueries) {
    EXPECT_TRUE(AcceptsDeflate("gzip, deflate, br"));
    EXPECT_TRUE(AcceptsDeflate("DEFLATE;q=0.5"));
    EXPECT_FALSE(AcceptsDeflate("deflate;q=0"));
    EXPECT_FALSE(AcceptsDeflate("deflate;q=0.000, *"));
    EXPECT_TRUE(AcceptsDeflate("*"));
    EXPECT_FALSE(AcceptsDeflate("gzip"));
    EXPECT_FALSE(AcceptsDeflate(""));
    EXPECT_TRUE(AcceptsCoding("deflate, GZIP;q=0.8", "gzip"));  // the shell's files
    EXPECT_FALSE(AcceptsCoding("gzip;q=0, *", "gzip"));
    EXPECT_FALSE(AcceptsCoding("x-gzip, deflate", "gzip"));
    EXPECT_TRUE(EtagMatches("\"a\", W/\"b\"", "\"b\""));
    EXPECT_TRUE(EtagMatches("*", "\"b\""));
    EXPECT_FALSE(EtagMatches("\"ab\"", "\"b\""));
    EXPECT_EQ(QueryParameter("a=1&q=caf%C3%A9+au+lait&q=2", "q"), "café au lait");
    EXPECT_EQ(QueryParameter("q=%zz", "q"), "");
    EXPECT_EQ(ContentTypeFor("sub.dir/PICTURE.JPG"), "image/jpeg");
    EXPECT_EQ(ContentTypeFor("noextension"), "application/octet-stream");
}

}  // namespace
}  // namespace folivex::http
