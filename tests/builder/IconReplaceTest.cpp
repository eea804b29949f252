// The icon step on a fake PE32 stub: the right image lands on exactly the
// stub's 744 bytes, and damaged icon files or stubs change nothing.
#include <gtest/gtest.h>

#include <random>

#include "builder/BuildEBook.h"
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
struct Damage {
    const char* name;
    void (*apply)(FakePe&);
    bool message;
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

constexpr uint32_t kSub = 0x80000000;

INSTANTIATE_TEST_SUITE_P(
    Stub, DamagedStub,
    ::testing::Values(
        Damage{"TooShortForADosHeader", [](FakePe& p) { p.bytes.resize(40); }, false},
        Damage{"NotMZ", [](FakePe& p) { p.bytes[0] = 'X'; }, false},
        Damage{"PeOffsetPastTheEnd", [](FakePe& p) { test::Put32(p.bytes, 60, 0xFFFFFFF0u); },
               false},
        Damage{"TruncatedPeHeaders", [](FakePe& p) { p.bytes.resize(p.peOffset + 100); }, false},
        Damage{"NotI386", [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 4, 0x8664); }, false},
        Damage{"NotPe32", [](FakePe& p) { test::Put16(p.bytes, p.peOffset + 24, 0x020B); }, false},
        Damage{"SectionTablePastTheEnd",
               [](FakePe& p) {
                   test::Put16(p.bytes, p.peOffset + 6, 0xFFFF);
                   p.bytes[p.sectionTable + 40 + 1] = 'x';
               },
               false},
        Damage{"NoRsrcSection", [](FakePe& p) { p.bytes[p.sectionTable + 40 + 1] = 'x'; }, false},
        Damage{"RsrcOffsetPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.sectionTable + 40 + 20, 0x7FFFFFF0u); },
               false},
        Damage{"RootCountPastTheEnd",
               [](FakePe& p) { test::Put16(p.bytes, p.rootDir + 14, 0xFFFF); }, false},
        Damage{"GroupTypeOffsetPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, kSub | 0x7FFFFF00u); },
               false},
        Damage{"GroupTypeNotADirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, 0x38); }, false},
        // The group type entry points back at the root: no id 128 there,
        // and the walk never goes round.
        Damage{"LoopBackToTheRoot",
               [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16 + 8 + 4, kSub | 0); }, false},
        Damage{"LanguageIsAnotherDirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.groupLangDir + 16 + 4, kSub | 0x68); },
               false},
        Damage{"GroupDataRvaBeforeTheFile",
               [](FakePe& p) { test::Put32(p.bytes, p.groupDataEntry, 0x10); }, false},
        Damage{"GroupCountPastTheEnd", [](FakePe& p) { test::Put16(p.bytes, p.group + 4, 0xFFFF); },
               false},
        Damage{"NoWidth32InTheGroup", [](FakePe& p) { p.bytes[p.group + 6] = 48; }, false},
        Damage{"IconTypeMissing", [](FakePe& p) { test::Put32(p.bytes, p.rootDir + 16, 7); }, true},
        Damage{"IconIdMissing", [](FakePe& p) { test::Put32(p.bytes, p.iconTypeDir + 16, 9); },
               true},
        Damage{"TwoLanguages", [](FakePe& p) { test::Put16(p.bytes, p.iconLangDir + 14, 2); },
               true},
        Damage{"IconLanguageIsADirectory",
               [](FakePe& p) { test::Put32(p.bytes, p.iconLangDir + 16 + 4, kSub | 0x50); }, true},
        Damage{"ImageRvaPastTheEnd",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry, 0x7FFFFFF0u); }, true},
        Damage{"ImageOutsideTheRsrcSection",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry, p.rsrcRva - 0x300); }, true},
        Damage{"ImageSmallerThanTheGroupSays",
               [](FakePe& p) { test::Put32(p.bytes, p.iconDataEntry + 4, 700); }, true}),
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
