// CFile::ReadAt: reads at an offset without moving the file position, stops
// short only at the end, and counts as one call for fault injection.
#include <gtest/gtest.h>

#include "platform/FaultInjection.h"
#include "platform/File.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

TEST(ReadAt, ReadsWhereAskedAndLeavesThePositionAlone) {
    test::TempDir dir;
    test::WriteText(dir / "f.bin", "0123456789");
    CFile file(dir / "f.bin", CFile::modeRead);
    file.Seek(2, CFile::begin);
    char buf[8] = {};
    EXPECT_EQ(file.ReadAt(5, buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "567");
    EXPECT_EQ(file.GetPosition(), 2u);
    EXPECT_EQ(file.ReadAt(8, buf, 8), 2u);  // short at the end
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(file.ReadAt(10, buf, 8), 0u);
    EXPECT_EQ(file.ReadAt(1000, buf, 8), 0u);

    FaultPlan plan;
    plan.failOnCall = 1;
    plan.cause = CFileException::hardIO;
    ScopedFaultPlan faults(plan);
    EXPECT_THROW(file.ReadAt(0, buf, 1), CFileException);
    EXPECT_TRUE(plan.fired);
}

TEST(ReadAt, AClosedFileIsAnInvalidFile) {
    CFile file;
    char buf[1];
    try {
        file.ReadAt(0, buf, 1);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::invalidFile);
    }
}

}  // namespace
}  // namespace folivex
