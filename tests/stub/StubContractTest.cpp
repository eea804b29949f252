// The viewer stub that the programs carry: read its real bytes the way the
// builder does, and check everything the builder relies on. Also the
// viewer's own reading of the icon back out of a book.
#include <gtest/gtest.h>

#include <cstring>

#include "builder/StubContract.h"
#include "format/ArchiveIndex.h"
#include "platform/ByteReader.h"
#include "resources/ViewerStub.h"
#include "tests/support/HandMadeBook.h"
#include "tests/support/ServedViewer.h"
#include "tests/support/TempDir.h"
#include "viewer/BookReader.h"
#include "viewer/PeIcon.h"

namespace folivex {
namespace {

struct Rsrc {
    uint32_t fileOffset = 0;
    uint32_t rva = 0;
};

// The id entries of the resource directory at offset, as (id, offset field).
std::vector<std::pair<uint32_t, uint32_t>> IdEntries(const ByteReader& pe, uint64_t dir) {
    const uint32_t named = pe.U16At(dir + 12), ids = pe.U16At(dir + 14);
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (uint32_t i = named; i < named + ids; ++i)
        out.emplace_back(pe.U32At(dir + 16 + i * 8), pe.U32At(dir + 16 + i * 8 + 4));
    return out;
}

uint32_t Child(const ByteReader& pe, uint64_t dir, uint32_t id) {
    for (auto [entryId, offset] : IdEntries(pe, dir))
        if (entryId == id) return offset;
    ADD_FAILURE() << "no resource entry " << id;
    return 0;
}

class StubContract : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(stub.size(), 4096u);
        const uint32_t e_lfanew = pe.U32At(60);
        peHeader = e_lfanew;
        // The builder reads 248 bytes of headers and takes the section table
        // to follow at once.
        const uint32_t sections = pe.U16At(peHeader + 6);
        for (uint32_t i = 0; i < sections; ++i) {
            const uint64_t h = peHeader + 248 + i * 40;
            if (std::memcmp(pe.BytesAt(h, 8).data(), ".rsrc\0\0\0", 8) == 0) {
                rsrc.fileOffset = pe.U32At(h + 20);
                rsrc.rva = pe.U32At(h + 12);
                haveRsrc = true;
                break;
            }
        }
    }

    std::span<const uint8_t> stub = EmbeddedViewerStub();
    ByteReader pe{stub};
    uint64_t peHeader = 0;
    Rsrc rsrc;
    bool haveRsrc = false;
};

TEST_F(StubContract, IsASmallPe32ForI386) {
    EXPECT_LT(stub.size(), 512u * 1024) << "the stub is copied into every book";
    EXPECT_EQ(pe.U16At(0), 0x5A4D);
    EXPECT_EQ(pe.U32At(peHeader), 0x00004550u);
    EXPECT_EQ(pe.U16At(peHeader + 4), 0x014C);
    EXPECT_EQ(pe.U16At(peHeader + 20), 224);  // SizeOfOptionalHeader
    EXPECT_EQ(pe.U16At(peHeader + 24), 0x010B);
    EXPECT_EQ(pe.U16At(peHeader + 24 + 68), 2) << "GUI subsystem";
    EXPECT_TRUE(haveRsrc);
    // Otherwise the builder would load an archive instead of appending one.
    EXPECT_FALSE(EndsWithArchiveTrailer(stub));
}

// Both stubs the build makes meet the builder's own check of a viewer
// program (folivexc --stub runs it too): the i686 one carried inside the
// programs, and the x86-64 one shipped as folivex-view-win64.exe.
TEST_F(StubContract, BothStubsPassTheBuildersCheck) {
    uint16_t machine = 0;
    EXPECT_EQ(ViewerStubProblem(stub, &machine), "");
    EXPECT_EQ(machine, 0x014C);
    const auto x64 = test::ReadFile(FOLIVEX_TEST_STUB_X64);
    EXPECT_EQ(ViewerStubProblem(x64, &machine), "");
    EXPECT_EQ(machine, 0x8664);
}

TEST_F(StubContract, CarriesThe32x32SixteenColourIconWhereTheBuilderLooks) {
    ASSERT_TRUE(haveRsrc);
    const uint64_t root = rsrc.fileOffset;
    const uint32_t groupType = Child(pe, root, 14);
    ASSERT_TRUE(groupType & 0x80000000u);
    const uint32_t group128 = Child(pe, root + (groupType & 0x7FFFFFFF), 128);
    ASSERT_TRUE(group128 & 0x80000000u);
    const auto languages = IdEntries(pe, root + (group128 & 0x7FFFFFFF));
    ASSERT_FALSE(languages.empty());
    ASSERT_FALSE(languages[0].second & 0x80000000u) << "the first language must be a data entry";
    const uint64_t dataEntry = root + languages[0].second;
    const uint64_t groupAt = rsrc.fileOffset - rsrc.rva + pe.U32At(dataEntry);

    const uint32_t count = pe.U16At(groupAt + 4);
    int last32 = -1;
    for (uint32_t i = 0; i < count; ++i)
        if (pe.U8At(groupAt + 6 + i * 14) == 32) last32 = static_cast<int>(i);
    ASSERT_GE(last32, 0) << "no entry of width 32";
    const uint64_t entry = groupAt + 6 + static_cast<uint32_t>(last32) * 14;
    EXPECT_EQ(pe.U8At(entry + 1), 32);     // height
    EXPECT_EQ(pe.U8At(entry + 2), 16);     // colours
    EXPECT_EQ(pe.U32At(entry + 8), 744u);  // bytes in resource
    EXPECT_EQ(pe.U16At(entry + 12), 1);    // icon id

    const uint32_t iconType = Child(pe, root, 3);
    ASSERT_TRUE(iconType & 0x80000000u);
    const uint32_t icon1 = Child(pe, root + (iconType & 0x7FFFFFFF), 1);
    ASSERT_TRUE(icon1 & 0x80000000u);
    const uint64_t icon1Dir = root + (icon1 & 0x7FFFFFFF);
    EXPECT_EQ(pe.U16At(icon1Dir + 12), 0);
    ASSERT_EQ(pe.U16At(icon1Dir + 14), 1) << "exactly one language";
    const uint32_t imageEntry = pe.U32At(icon1Dir + 16 + 4);
    ASSERT_FALSE(imageEntry & 0x80000000u);
    EXPECT_EQ(pe.U32At(root + imageEntry + 4), 744u);

    // The image is the viewer's own drawing, as viewer.ico holds it.
    const auto ico = test::ReadFile(FOLIVEX_VIEWER_ICO);
    ByteReader icoReader(ico);
    ASSERT_EQ(icoReader.U8At(6), 32);
    const auto drawn = icoReader.BytesAt(icoReader.U32At(6 + 12), 744);
    const auto carried = pe.BytesAt(rsrc.fileOffset - rsrc.rva + pe.U32At(root + imageEntry), 744);
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), carried.begin()));
}

TEST(ViewerIcon, ReadsTheBooksIconBackAsAnIcoFile) {
    const auto stub = EmbeddedViewerStub();
    test::TempDir dir;
    const std::string path = dir / "book.exe";
    test::BookLayout layout;
    layout.pages = {{"index.htm", "hello"}};
    test::WriteFile(path, test::MakeBook(std::vector<uint8_t>(stub.begin(), stub.end()), layout));

    const auto ico = BookReader::Open(path)->IconFile();
    ASSERT_TRUE(ico.has_value());
    // The same images as viewer.ico, in the same order, at other offsets.
    const auto expected = test::ReadFile(FOLIVEX_VIEWER_ICO);
    ByteReader got(*ico), want(expected);
    ASSERT_EQ(got.U16At(4), want.U16At(4));
    for (uint32_t i = 0; i < want.U16At(4); ++i) {
        const uint64_t g = 6 + i * 16, w = 6 + i * 16;
        EXPECT_TRUE(std::equal(got.BytesAt(g, 12).begin(), got.BytesAt(g, 12).end(),
                               want.BytesAt(w, 12).begin()));
        const auto gi = got.BytesAt(got.U32At(g + 12), got.U32At(g + 8));
        const auto wi = want.BytesAt(want.U32At(w + 12), want.U32At(w + 8));
        EXPECT_TRUE(std::equal(gi.begin(), gi.end(), wi.begin(), wi.end())) << "image " << i;
    }
}

// The builder's icon step finds the stub's image and overwrites it; the
// viewer then shows the author's icon.
TEST(ViewerIcon, TheAuthorsIconReplacesTheStubsOwn) {
    test::TempDir dir;
    auto authorIcon = test::ReadFile(FOLIVEX_VIEWER_ICO);
    ByteReader ico(authorIcon);
    const uint32_t image32 = ico.U32At(6 + 12);
    for (uint32_t i = 40; i < 40 + 64; i += 4)
        std::swap(authorIcon[image32 + i], authorIcon[image32 + i + 2]);
    const std::string iconPath = dir / "author.ico";
    test::WriteFile(iconPath, authorIcon);
    test::WriteText(dir / "site/index.htm", "<html>hello</html>");

    const std::string book = dir / "book.exe";
    test::ChildProcess make(
        {FOLIVEX_FOLIVEXC, "make", dir / "site", "-o", book, "--icon", iconPath});
    ASSERT_EQ(make.Wait(std::chrono::seconds(60)), 0);
    const auto stub = EmbeddedViewerStub();
    const auto bytes = test::ReadFile(book);
    ASSERT_GT(bytes.size(), stub.size());
    size_t changed = 0;
    for (size_t i = 0; i < stub.size(); ++i) changed += bytes[i] != stub[i];
    EXPECT_GT(changed, 0u);
    EXPECT_LE(changed, 744u);

    const auto shown = BookReader::Open(book)->IconFile();
    ASSERT_TRUE(shown.has_value());
    ByteReader got(*shown);
    const auto gotImage = got.BytesAt(got.U32At(6 + 12), got.U32At(6 + 8));
    const auto wantImage = ByteReader(authorIcon).BytesAt(image32, 744);
    EXPECT_TRUE(std::equal(gotImage.begin(), gotImage.end(), wantImage.begin(), wantImage.end()));
}

TEST(ViewerIcon, DamagedResourceTablesGiveNoIconAndNoCrash) {
    const auto stub = EmbeddedViewerStub();
    const std::vector<uint8_t> image(stub.begin(), stub.end());
    for (size_t cut : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{300}, image.size() / 2})
        EXPECT_FALSE(IcoFromPeImage(std::span(image).first(cut)).has_value()) << cut;

    // Flip every byte of the resource section's start (directories, data
    // entries, the icon group) in turn: any result is fine, a crash is not.
    ByteReader pe(image);
    const uint32_t e_lfanew = pe.U32At(60);
    uint32_t rsrcOffset = 0, rsrcSize = 0;
    for (uint32_t i = 0; i < pe.U16At(e_lfanew + 6); ++i) {
        const uint64_t h = e_lfanew + 248 + i * 40;
        if (std::memcmp(pe.BytesAt(h, 8).data(), ".rsrc\0\0\0", 8) == 0) {
            rsrcOffset = pe.U32At(h + 20);
            rsrcSize = pe.U32At(h + 16);
        }
    }
    ASSERT_GT(rsrcSize, 0u);
    for (uint32_t i = 0; i < std::min<uint32_t>(rsrcSize, 400); ++i) {
        auto bad = image;
        bad[rsrcOffset + i] ^= 0xFF;
        (void)IcoFromPeImage(bad);
    }
}

}  // namespace
}  // namespace folivex
