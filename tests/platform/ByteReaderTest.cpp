#include <gtest/gtest.h>

#include "platform/ByteReader.h"

namespace folivex {
namespace {

TEST(ByteReader, ReadsLittleEndianAndRefusesToReadPastTheEnd) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 'a', 'b', 0x00, 0xFF};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.U16(), 0x0201);
    EXPECT_EQ(r.U16At(2), 0x0403);
    r.Seek(0);
    EXPECT_EQ(r.U64(), 0xFF00626104030201ull);
    EXPECT_THROW(r.U64(), ByteReader::OutOfRange);
    r.Seek(1);
    EXPECT_THROW(r.U64(), ByteReader::OutOfRange);
    EXPECT_EQ(r.Position(), 1u);  // a read that fails part-way moves nothing
    r.Seek(0);
    EXPECT_EQ(r.U32(), 0x04030201u);
    EXPECT_EQ(r.CString(), "ab");
    EXPECT_EQ(r.Remaining(), 1u);
    EXPECT_THROW(r.U16(), ByteReader::OutOfRange);
    EXPECT_EQ(r.Position(), 7u);  // a failed read moves nothing
    EXPECT_EQ(r.U8(), 0xFF);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(r.CString(), ByteReader::OutOfRange);
    // Offsets and sizes near the 64-bit limit do not wrap around.
    EXPECT_THROW(r.BytesAt(2, UINT64_MAX), ByteReader::OutOfRange);
    EXPECT_THROW(r.BytesAt(UINT64_MAX, 2), ByteReader::OutOfRange);
    EXPECT_THROW(r.Seek(9), ByteReader::OutOfRange);
    EXPECT_FALSE(r.Has(8, 1));
    EXPECT_TRUE(r.Has(8, 0));
}

TEST(ByteReader, CStringWithoutTerminatorThrows) {
    const uint8_t data[] = {'a', 'b'};
    ByteReader r(data, sizeof data);
    EXPECT_THROW(r.CString(), ByteReader::OutOfRange);
    EXPECT_EQ(r.Position(), 0u);
}

}  // namespace
}  // namespace folivex
