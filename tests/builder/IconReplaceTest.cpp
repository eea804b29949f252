// The icon step on a fake PE32 stub: the right image lands on exactly the
// stub's 744 bytes, and damaged icon files or stubs change nothing.
#include <gtest/gtest.h>

#include <random>

#include "builder/BuildEBook.h"
#include "builder/StubContract.h"
#include "format/ArchiveIndex.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::FakePe;
using test::IcoImage;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr const char* kUnsuitable =
    "Invalid or unsuitable .ico file. The icon file must contain 32x32 16-color image.";

const IcoImage k16x16{16, 16, 16, 296, 0x11};
const IcoImage k32x32{32, 32, 16, 744, 0x22};

class ReplaceIcon : public ::testing::Test {
protected:
    ReplaceIcon() : app(prompts) {
        pe = test::MakeFakePe();
        app.project.ebookFile = dir / "book.exe";
        app.project.iconFile = dir / "icon.ico";
    }

    // Writes the stub (as damaged by the test) and the icon file, then runs
    // the step.
    int Run(const std::vector<uint8_t>& ico) {
        WriteFile(app.project.ebookFile, pe.bytes);
        WriteFile(app.project.iconFile, ico);
        return folivex::ReplaceIcon(app);
    }

    // The output is exactly the stub as written.
    void ExpectUnchanged() { EXPECT_EQ(ReadFile(app.project.ebookFile), pe.bytes); }

    TempDir dir;
    ScriptedPrompts prompts;
    CBookApp app;
    FakePe pe;
};

TEST_F(ReplaceIcon, PutsTheMatchingImageOverTheStubsAndNothingElse) {
    ASSERT_EQ(Run(test::MakeIco({k16x16, k32x32})), 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(app.rsrcFileOffset, pe.rsrcOffset);
    EXPECT_EQ(app.rsrcRva, pe.rsrcRva);
    auto expected = pe.bytes;
    std::fill(expected.begin() + static_cast<long>(pe.image),
              expected.begin() + static_cast<long>(pe.image + FakePe::kImageSize), 0x22);
    EXPECT_EQ(ReadFile(app.project.ebookFile), expected);
}

// An x86-64 viewer is a PE32+ image: its optional header is 16 bytes
// longer, and the section table follows it there.
TEST_F(ReplaceIcon, PutsTheImageIntoAPe32PlusStubAsWell) {
    pe = test::MakeFakePe(test::PeKind::pe32PlusX64);
    ASSERT_EQ(Run(test::MakeIco({k16x16, k32x32})), 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(app.rsrcFileOffset, pe.rsrcOffset);
    auto expected = pe.bytes;
    std::fill(expected.begin() + static_cast<long>(pe.image),
              expected.begin() + static_cast<long>(pe.image + FakePe::kImageSize), 0x22);
    EXPECT_EQ(ReadFile(app.project.ebookFile), expected);
}

TEST_F(ReplaceIcon, NoIconChosenLeavesTheOutputUnopened) {
    app.project.iconFile.clear();
    app.project.ebookFile = dir / "does-not-exist.exe";
    EXPECT_EQ(folivex::ReplaceIcon(app), 1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ReplaceIcon, KeepsTheArchiveAfterTheStubValid) {
    ScriptedPrompts buildPrompts;
    CBookApp builder(buildPrompts);
    builder.viewerStub = pe.bytes;
    builder.project.ebookFile = dir / "built.exe";
    builder.project.iconFile = dir / "icon.ico";
    WriteFile(builder.project.iconFile, test::MakeIco({k32x32}));
    ASSERT_EQ(folivex::BuildEBook(builder), 1);

    const auto bytes = ReadFile(builder.project.ebookFile);
    EXPECT_EQ(bytes[pe.image], 0x22);
    EXPECT_EQ(bytes[pe.image + FakePe::kImageSize], pe.bytes[pe.image + FakePe::kImageSize]);
    CFile file(builder.project.ebookFile, CFile::modeRead);
    const auto index = ArchiveIndex::Load(file);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->Base(), pe.bytes.size());
    EXPECT_NE(index->Find(350, 14), nullptr);
}

TEST_F(ReplaceIcon, UnsuitableIconFilesChangeNothing) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"256 colours only", test::MakeIco({{32, 32, 0, 2216, 0x33}})},
        {"16 colours, wrong size", test::MakeIco({{32, 32, 16, 766, 0x33}})},
        {"16x16 only", test::MakeIco({k16x16})},
        {"empty file", {}},
        {"header only", {0, 0, 1, 0}},
        {"count past the end",
         [] {
             auto ico = test::MakeIco({k16x16});
             test::Put16(ico, 4, 40);
             return ico;
         }()},
        {"image offset past the end",
         [] {
             auto ico = test::MakeIco({k32x32});
             test::Put32(ico, 6 + 12, 0xFFFFFF00u);
             return ico;
         }()},
        {"image runs past the end",
         [] {
             auto ico = test::MakeIco({k32x32});
             ico.resize(ico.size() - 1);
             return ico;
         }()},
    };
    for (const auto& [name, ico] : cases) {
        prompts.messages.clear();
        EXPECT_EQ(Run(ico), 0) << name;
        ASSERT_EQ(prompts.messages.size(), 1u) << name;
        EXPECT_EQ(prompts.messages[0].text, kUnsuitable) << name;
        EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Stop);
        ExpectUnchanged();
    }
}

TEST_F(ReplaceIcon, AMissingIconFileIsAFileError) {
    WriteFile(app.project.ebookFile, pe.bytes);
    EXPECT_EQ(folivex::ReplaceIcon(app), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "File error with " + app.project.iconFile + "\n" +
                                            app.project.iconFile + " was not found.");
    ExpectUnchanged();
}

// Each damages one field of the stub. Header and group damage fails
// silently; damage on the way to the image gives the unsuitable message.
// Every one breaks what the builder requires of a viewer program, and
// folivexc --stub refuses such a stub before it builds, saying why.
struct Damage {
    const char* name;
    void (*apply)(FakePe&);
    bool message;
    const char* refusal;
};

class DamagedStub : public ReplaceIcon, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedStub, KeepsItsIcon) {
    GetParam().apply(pe);
    EXPECT_EQ(Run(test::MakeIco({k32x32})), 0);
    EXPECT_EQ(prompts.messages.size(), GetParam().message ? 1u : 0u);
    if (GetParam().message) {
        EXPECT_EQ(prompts.messages[0].text, kUnsuitable);
    }
    ExpectUnchanged();
}

TEST_P(DamagedStub, IsNoViewerProgram) {
    GetParam().apply(pe);
    EXPECT_EQ(ViewerStubProblem(pe.bytes), GetParam().refusal);
}

constexpr uint32_t kSub = 0x80000000;

INSTANTIATE_TEST_SUITE_P(
    Stub, DamagedStub,
    ::testing::Values(
        Damage{"TooShortForADosHeader", [](FakePe& p) { p.bytes.resize(40); }, false,
               "it is shorter than a DOS header (64 bytes)"},
        Damage{"NotMZ", [](FakePe& p) { p.bytes[0] = 'X'; }, false,
               "it does not start with \"MZ\": it is no Windows program"},
        Damage{"PeOffsetPastTheEnd", [](FakePe& p) { test::Put32(p.bytes, 60, 0xFFFFFFF0u); },
               false, "its PE header offset 0xFFFFFFF0 (at offset 60) lies past its end"},
        Damage{"TruncatedPeHeaders", [](FakePe& p) { p.bytes.resize(p.peOffset + 100); }, false,
               "its PE headers at offset 0x80 run past its end"},
        Damage{"NotI386", [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 4, 0x8664); }, false,
               "it is made for machine 0x8664 with optional-header magic 0x10B; a viewer program "
               "is a PE32 image for the Intel 386 (0x14C, 0x10B) or a PE32+ image for x86-64 "
               "(0x8664, 0x20B)"},
        Damage{"NotPe32", [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 24, 0x020B); }, false,
               "it is made for machine 0x14C with optional-header magic 0x20B; a viewer program is "
               "a PE32 image for the Intel 386 (0x14C, 0x10B) or a PE32+ image for x86-64 (0x8664, "
               "0x20B)"},
        Damage{"SectionTablePastTheEnd",
               [](FakePe& p) {
                   test::Put16(p.bytes, p.peOffset + 6, 0xFFFF);
                   p.bytes[p.sectionTable + 40 + 1] = 'x';
               },
               false, "its section table (65535 sections at offset 0x178) runs past its end"},
        Damage{"NoRsrcSection", [](FakePe& p) { p.bytes[p.sectionTable + 40 + 1] = 'x'; }, false,
               "it has no .rsrc section (no resources)"},
        Damage{"RsrcOffsetPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.sectionTable + 40 + 20, 0x7FFFFFF0u); },
               false, "its resource directory at offset 0x7FFFFFF0 lies past its end"},
        Damage{"RootCountPastTheEnd",
               [](FakePe& p) { test::Put16(p.bytes, p.rootDir + 14, 0xFFFF); }, false,
               "the entries of its resource directory at offset 0x400 run past its end"},
        Damage{"GroupTypeOffsetPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, kSub | 0x7FFFFF00u); },
               false, "its resource directory at offset 0x80000300 lies past its end"},
        Damage{"GroupTypeNotADirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, 0x38); }, false,
               "its resource entry for icon groups (type 14) is data, not a directory"},
        // The group type entry points back at the root: no id 128 there,
        // and the walk never goes round.
        Damage{"LoopBackToTheRoot",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, kSub | 0); }, false,
               "its resources hold no icon group 128"},
        Damage{"LanguageIsAnotherDirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.groupLangDir + 16 + 4, kSub | 0x68); }, false,
               "the language entry of icon group 128 is a directory, not data"},
        Damage{"GroupDataRvaBeforeTheFile",
               [](FakePe& p) { test::Put32(p.bytes, p.groupDataEntry, 0x10); }, false,
               "the data of icon group 128 (RVA 0x10) lies before the start of the file"},
        Damage{"GroupCountPastTheEnd", [](FakePe& p) { test::Put16(p.bytes, p.group + 4, 0xFFFF); },
               false, "icon group 128 at offset 0x4A0 runs past its end"},
        Damage{"NoWidth32InTheGroup", [](FakePe& p) { p.bytes[p.group + 6] = 48; }, false,
               "icon group 128 has no image 32 pixels wide"},
        Damage{"IconTypeMissing", [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16, 7); }, true,
               "its resources hold no icons (type 3)"},
        Damage{"IconIdMissing", [](FakePe& p) { test::Put32(p.bytes, p.iconTypeDir + 16, 9); },
               true, "its resources hold no icon 1 (the 32x32 image of icon group 128)"},
        Damage{"TwoLanguages", [](FakePe& p) { test::Put16(p.bytes, p.iconLangDir + 14, 2); }, true,
               "icon 1 (the 32x32 image of icon group 128) has 2 languages; the icon step needs "
               "exactly one"},
        Damage{"IconLanguageIsADirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.iconLangDir + 16 + 4, kSub | 0x50); }, true,
               "the language entry of icon 1 (the 32x32 image of icon group 128) is a directory, "
               "not data"},
        Damage{"ImageRvaPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry, 0x7FFFFFF0u); }, true,
               "the bytes of icon 1 (the 32x32 image of icon group 128) at offset 0x7FFFD3F0 lie "
               "outside the .rsrc section"},
        Damage{"ImageOutsideTheRsrcSection",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry, p.rsrcRva - 0x300); }, true,
               "the bytes of icon 1 (the 32x32 image of icon group 128) at offset 0x100 lie "
               "outside the .rsrc section"},
        Damage{"ImageSmallerThanTheGroupSays",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry + 4, 700); }, true,
               "icon 1 (the 32x32 image of icon group 128) holds 700 bytes, fewer than the 744 its "
               "group entry states"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace folivex

namespace folivex {
namespace {

// Damage anywhere in the headers or the resource table: the file keeps its
// length, only the image may change, and the step says 1 exactly when it
// wrote the image.
TEST_F(ReplaceIcon, RandomDamageToTheStubNeverWritesOutsideTheImage) {
    std::mt19937 gen(11);
    const FakePe clean = pe;
    const auto ico = test::MakeIco({k32x32});
    for (int round = 0; round < 400; ++round) {
        pe = clean;
        const int hits = 1 + static_cast<int>(gen() % 3);
        for (int h = 0; h < hits; ++h) {
            // Headers (first 0x200 bytes) or the table before the image.
            const size_t at = gen() % 2
                                  ? gen() % 0x200
                                  : clean.rsrcOffset + gen() % (clean.image - clean.rsrcOffset);
            pe.bytes[at] = static_cast<uint8_t>(gen());
        }
        prompts.messages.clear();
        const int result = Run(ico);
        const auto after = ReadFile(app.project.ebookFile);
        ASSERT_EQ(after.size(), pe.bytes.size());
        EXPECT_EQ(result, after != pe.bytes ? 1 : 0) << "round " << round;
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] == pe.bytes[i]) continue;
            ASSERT_GE(i, clean.rsrcOffset) << "round " << round;
            ASSERT_EQ(after[i], 0x22) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace folivex

namespace folivex {
namespace {

// What a viewer program must be besides what the icon step walks through,
// and the two kinds of image that are one.
struct StubCase {
    const char* name;
    test::PeKind kind;
    void (*apply)(FakePe&);
    const char* refusal;  // empty: a viewer program
    uint16_t machine;
};

TEST(ViewerStubContract, TakesPe32ForI386AndPe32PlusForX64Only) {
    const StubCase cases[] = {
        {"PE32 for the Intel 386", test::PeKind::pe32I386, [](FakePe&) {}, "", 0x014C},
        {"PE32+ for x86-64", test::PeKind::pe32PlusX64, [](FakePe&) {}, "", 0x8664},
        {"empty", test::PeKind::pe32I386, [](FakePe& p) { p.bytes.clear(); }, "it is empty", 0},
        {"an e-book's trailer at its end", test::PeKind::pe32I386,
         [](FakePe& p) {
             test::Append(p.bytes, {0, 0, 0, 0, 0x4B, 0x47});
         },
         "it ends in 4B 47, the trailer of an e-book's archive, so a build would take it for a "
         "finished e-book; give the bare viewer program",
         0},
        {"PE32 with a PE32+ header's size", test::PeKind::pe32I386,
         [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 20, 240); },
         "its optional header is 240 bytes long; a PE32 image has 224", 0},
        {"PE32+ with a PE32 header's size", test::PeKind::pe32PlusX64,
         [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 20, 224); },
         "its optional header is 224 bytes long; a PE32+ image has 240", 0},
        {"PE32+ for ARM64", test::PeKind::pe32PlusX64,
         [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 4, 0xAA64); },
         "it is made for machine 0xAA64 with optional-header magic 0x20B; a viewer program is a "
         "PE32 image for the Intel 386 (0x14C, 0x10B) or a PE32+ image for x86-64 (0x8664, "
         "0x20B)",
         0},
    };
    for (const StubCase& c : cases) {
        FakePe pe = test::MakeFakePe(c.kind);
        c.apply(pe);
        uint16_t machine = 0;
        EXPECT_EQ(ViewerStubProblem(pe.bytes, &machine), c.refusal) << c.name;
        EXPECT_EQ(machine, c.machine) << c.name;
    }
}

}  // namespace
}  // namespace folivex
