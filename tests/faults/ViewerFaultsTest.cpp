// The viewer reading a book whose file fails under it, on every call in turn:
// opening gives a BookError or a book, a request gives an answer or a server
// error, never a crash; and once the file reads again, the same site answers
// every request for the book's data and pages normally (a failed read is
// not remembered as the answer).
#include <gtest/gtest.h>

#include "platform/FaultInjection.h"
#include "tests/support/BuiltBook.h"
#include "tests/support/RunningServer.h"
#include "viewer/BookReader.h"

namespace folivex {
namespace {

const char* const kRequests[] = {"/api/book", "/book/index.htm", "/book/guide/one.htm",
                                 "/api/splash"};

TEST(ViewerFaults, EveryFailingReadIsAnErrorAndLeavesNothingBehind) {
    test::TempDir dir;
    const std::string path = test::BuildTestBook(dir);

    uint64_t call = 1;
    for (;; ++call) {
        const std::string when = "call " + std::to_string(call);
        FaultPlan plan;
        plan.failOnCall = call;
        plan.cause = CFileException::hardIO;
        std::unique_ptr<BookReader> book;
        std::unique_ptr<BookSite> site;
        {
            ScopedFaultPlan scoped(plan);
            try {
                book = BookReader::Open(path);
            } catch (const BookError& e) {
                EXPECT_TRUE(plan.fired) << when;
                EXPECT_NE(std::string(e.what()).find("e-book"), std::string::npos)
                    << when << ": " << e.what();
                continue;
            }
            site = std::make_unique<BookSite>(*book, "0123456789abcdef0123456789abcdef");
            for (const char* target : kRequests) {
                const int status = test::Get(*site, target);
                // A splash that cannot be read is left out (404).
                EXPECT_TRUE(status == 200 || status == 500 ||
                            (status == 404 && std::string(target) == "/api/splash"))
                    << when << " " << target << ": " << status;
            }
        }
        if (!plan.fired) break;
        ASSERT_LT(call, 200u);
        // The file reads again: every answer is the normal one. (The splash
        // is the exception: one that could not be read is left out for the
        // run, like a damaged one.)
        for (const char* target : kRequests) {
            if (std::string(target) == "/api/splash") continue;
            EXPECT_EQ(test::Get(*site, target), 200) << when << " " << target;
        }
    }
    EXPECT_GT(call, 5u);
}

}  // namespace
}  // namespace folivex
