// The object-archive encoding: exact bytes written, and every malformed
// input refused with the right error.
#include <gtest/gtest.h>

#include <functional>

#include "platform/Archive.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class CThing : public CObject {
public:
    static const CRuntimeClass classCThing;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCThing; }
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring())
            ar.WriteU8(value);
        else
            value = ar.ReadU8();
    }
    uint8_t value = 0;
};
const CRuntimeClass CThing::classCThing{
    "CThing", 1, [] { return std::unique_ptr<CObject>(new CThing); }, nullptr};

class COther : public CObject {
public:
    static const CRuntimeClass classCOther;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCOther; }
    void Serialize(CArchive&) override {}
};
const CRuntimeClass COther::classCOther{
    "COther", 2, [] { return std::unique_ptr<CObject>(new COther); }, nullptr};

class ArchiveTest : public ::testing::Test {
protected:
    std::vector<uint8_t> Store(const std::function<void(CArchive&)>& write,
                               size_t bufferSize = 4096) {
        const std::string path = dir / "stored.bin";
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(file, CArchive::store, bufferSize);
        write(ar);
        ar.Close();
        file.Close();
        return ReadFile(path);
    }

    // Loads bytes with read; returns the archive error's cause and file
    // name, or "ok".
    std::string Load(const std::vector<uint8_t>& bytes, const std::function<void(CArchive&)>& read,
                     size_t bufferSize = 4096) {
        WriteFile(Name(), bytes);
        CFile file(Name(), CFile::modeRead);
        CArchive ar(file, CArchive::load, bufferSize, {&CThing::classCThing, &COther::classCOther});
        try {
            read(ar);
        } catch (const CArchiveException& e) {
            return std::to_string(e.m_cause) + ":" + e.m_strFileName;
        }
        return "ok";
    }

    std::string Name() const { return dir / "loaded.bin"; }

    TempDir dir;
};

std::vector<uint8_t> Prefix(std::initializer_list<uint8_t> bytes) {
    return bytes;
}

TEST_F(ArchiveTest, StringPrefixesAtEachBoundary) {
    const struct {
        size_t length;
        std::vector<uint8_t> prefix;
    } cases[] = {
        {0, Prefix({0x00})},
        {254, Prefix({0xFE})},
        {255, Prefix({0xFF, 0xFF, 0x00})},
        {65533, Prefix({0xFF, 0xFD, 0xFF})},
        {65534, Prefix({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {70000, Prefix({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'x');
        const auto bytes = Store([&](CArchive& ar) { ar.WriteString(text); });
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(c.prefix.size())),
            c.prefix)
            << c.length;
        std::string back;
        EXPECT_EQ(Load(
                      bytes, [&](CArchive& ar) { back = ar.ReadString(); }, 64),
                  "ok");
        EXPECT_EQ(back, text);
    }
}

TEST_F(ArchiveTest, ReadsTheWideStringForm) {
    std::string s;
    // FF FEFF, then a one-byte count of 3 units: "h", "é", U+1F600 as a pair.
    EXPECT_EQ(Load(Bytes("\xFF\xFE\xFF\x04h\x00\xE9\x00\x3D\xD8\x00\xDE", 12),
                   [&](CArchive& ar) { s = ar.ReadString(); }),
              "ok");
    EXPECT_EQ(s, "h\xC3\xA9\xF0\x9F\x98\x80");
    // The count in its two-byte form; an unpaired surrogate becomes U+FFFD.
    EXPECT_EQ(Load(Bytes("\xFF\xFE\xFF\xFF\x01\x00\x00\xD8", 8),
                   [&](CArchive& ar) { s = ar.ReadString(); }),
              "ok");
    EXPECT_EQ(s, "\xEF\xBF\xBD");
}

TEST_F(ArchiveTest, IntegersAndCountsAreLittleEndian) {
    const auto bytes = Store([](CArchive& ar) {
        ar.WriteU16(0x1234);
        ar.WriteI32(-2);
        ar.WriteCount(5);
        ar.WriteCount(0xFFFF);
    });
    EXPECT_EQ(bytes, Bytes("\x34\x12\xFE\xFF\xFF\xFF\x05\x00\xFF\xFF\xFF\xFF\x00\x00", 14));
    uint32_t a = 0, b = 0;
    EXPECT_EQ(Load(bytes,
                   [&](CArchive& ar) {
                       ar.Skip(6);
                       a = ar.ReadCount();
                       b = ar.ReadCount();
                   }),
              "ok");
    EXPECT_EQ(a, 5u);
    EXPECT_EQ(b, 0xFFFFu);
}

TEST_F(ArchiveTest, ClassHeaderOnceThenReferencesSharingOneCounter) {
    CThing t1, t2, t3;
    COther o1, o2;
    t1.value = 7;
    const auto bytes = Store([&](CArchive& ar) {
        ar.WriteObject(t1);  // class 1, object 2
        ar.WriteObject(o1);  // class 3, object 4
        ar.WriteObject(t2);  // 01 80, object 5
        ar.WriteObject(o2);  // 03 80
        ar.WriteObject(t3);
    });
    std::vector<uint8_t> expected = Bytes(
        "\xFF\xFF\x01\x00\x06\x00"
        "CThing"
        "\x07",
        13);
    test::Append(expected, Bytes("\xFF\xFF\x02\x00\x06\x00"
                                 "COther",
                                 12));
    test::Append(expected, Bytes("\x01\x80\x00\x03\x80\x01\x80\x00", 8));
    EXPECT_EQ(bytes, expected);

    std::vector<std::unique_ptr<CObject>> objects;
    EXPECT_EQ(Load(bytes,
                   [&](CArchive& ar) {
                       for (int i = 0; i < 5; ++i) objects.push_back(ar.ReadObject(nullptr));
                   }),
              "ok");
    ASSERT_EQ(objects.size(), 5u);
    EXPECT_EQ(objects[1]->GetRuntimeClass(), &COther::classCOther);
    EXPECT_EQ(objects[3]->GetRuntimeClass(), &COther::classCOther);
    EXPECT_EQ(static_cast<CThing*>(objects[0].get())->value, 7);
}

TEST_F(ArchiveTest, ClassNumbersFrom0x7FFFTakeTheLongTag) {
    CThing thing;
    COther other;
    const auto bytes = Store([&](CArchive& ar) {
        ar.WriteObject(thing);                                   // class 1, object 2
        for (int i = 0; i < 0x7FFD; ++i) ar.WriteObject(thing);  // objects 3 .. 0x7FFF
        ar.WriteObject(other);                                   // class 0x8000
        ar.WriteObject(other);
    });
    const std::vector<uint8_t> tail(bytes.end() - 6, bytes.end());
    EXPECT_EQ(tail, Bytes("\xFF\x7F\x00\x80\x00\x80", 6));
    EXPECT_EQ(Load(bytes,
                   [&](CArchive& ar) {
                       for (int i = 0; i < 0x7FFE; ++i) ar.ReadObject(&CThing::classCThing);
                       ar.ReadObject(&COther::classCOther);
                       ar.ReadObject(&COther::classCOther);
                       EXPECT_EQ(ar.BytesRemaining(), 0u);
                   }),
              "ok");
}

TEST_F(ArchiveTest, MalformedInputGivesTheRightError) {
    const std::string named = Name();
    const auto readThing = [](CArchive& ar) { ar.ReadObject(&CThing::classCThing); };
    const auto header = Bytes(
        "\xFF\xFF\x01\x00\x06\x00"
        "CThing"
        "\x07",
        13);
    auto withHeader = [&](const char* more, size_t n) {
        auto v = header;
        test::Append(v, Bytes(more, n));
        return v;
    };
    const auto readTwo = [](CArchive& ar) {
        ar.ReadObject(&CThing::classCThing);
        ar.ReadObject(&CThing::classCThing);
    };
    // The file ends inside a plain item: end of file, no name.
    EXPECT_EQ(Load(Bytes("\x01\x02\x03", 3), [](CArchive& ar) { ar.ReadU32(); }), "3:");
    // A string that states more bytes than the file holds, in each form;
    // nothing the size of the claim is allocated.
    EXPECT_EQ(Load(Bytes("\x05"
                         "abc",
                         4),
                   [](CArchive& ar) { ar.ReadString(); }),
              "3:");
    EXPECT_EQ(Load(Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7), [](CArchive& ar) { ar.ReadString(); }),
              "3:");
    EXPECT_EQ(Load(Bytes("\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 9),
                   [](CArchive& ar) { ar.ReadString(); }),
              "3:");
    EXPECT_EQ(Load(Bytes("\x01\x00", 2), [](CArchive& ar) { ar.Skip(3); }), "3:");
    // Class names: longer than 63 bytes, or cut short by the end.
    auto longName = Bytes("\xFF\xFF\x01\x00\x40\x00", 6);
    longName.resize(6 + 64, 'A');
    EXPECT_EQ(Load(longName, readThing), "6:" + named);
    EXPECT_EQ(Load(Bytes("\xFF\xFF\x01\x00\x06\x00"
                         "CTh",
                         9),
                   readThing),
              "6:" + named);
    // Ends inside the schema or the name length: end of file.
    EXPECT_EQ(Load(Bytes("\xFF\xFF\x01", 3), readThing), "3:");
    // Unknown class, class not derived from the one required, wrong schema.
    EXPECT_EQ(Load(Bytes("\xFF\xFF\x01\x00\x06\x00"
                         "CThinG"
                         "\x07",
                         13),
                   readThing),
              "6:" + named);
    EXPECT_EQ(Load(Bytes("\xFF\xFF\x02\x00\x06\x00"
                         "COther",
                         12),
                   readThing),
              "6:" + named);
    EXPECT_EQ(Load(Bytes("\xFF\xFF\x02\x00\x06\x00"
                         "CThing"
                         "\x07",
                         13),
                   readThing),
              "7:" + named);
    // Class number 0, one not given yet, one that belongs to an object.
    EXPECT_EQ(Load(Bytes("\x00\x80", 2), readThing), "5:" + named);
    EXPECT_EQ(Load(withHeader("\x03\x80\x07", 3), readTwo), "5:" + named);
    EXPECT_EQ(Load(withHeader("\x02\x80\x07", 3), readTwo), "5:" + named);
    // The null tag, and a reference back to the object read before.
    EXPECT_EQ(Load(Bytes("\x00\x00", 2), readThing), "5:" + named);
    EXPECT_EQ(Load(withHeader("\x02\x00", 2), readTwo), "5:" + named);
    EXPECT_EQ(Load(withHeader("\xFF\x7F\x02\x00\x00\x00", 6), readTwo), "5:" + named);
    // The long form of a good class reference is accepted.
    EXPECT_EQ(Load(withHeader("\xFF\x7F\x01\x00\x00\x80\x09", 7), readTwo), "ok");
}

TEST_F(ArchiveTest, SmallBuffersCarryLargeItemsBothWays) {
    const std::string big(1000, 'q');
    const auto bytes = Store(
        [&](CArchive& ar) {
            for (int i = 0; i < 20; ++i) {
                ar.WriteU32(static_cast<uint32_t>(i));
                ar.WriteString(big);
            }
        },
        16);
    ASSERT_EQ(bytes.size(), 20u * (4 + 3 + 1000));
    EXPECT_EQ(Load(
                  bytes,
                  [&](CArchive& ar) {
                      for (uint32_t i = 0; i < 20; ++i) {
                          ASSERT_EQ(ar.ReadU32(), i);
                          ASSERT_EQ(ar.ReadString(), big);
                      }
                      EXPECT_EQ(ar.BytesRemaining(), 0u);
                  },
                  16),
              "ok");
}

TEST_F(ArchiveTest, AbandonedStoringArchiveWritesNothingMore) {
    const std::string path = dir / "abandoned.bin";
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(file, CArchive::store);
        ar.WriteU32(1);
    }
    EXPECT_TRUE(ReadFile(path).empty());
}

}  // namespace
}  // namespace folivex
