// The Windows zips that the build makes (build/dist): what each holds, and
// that what it holds is what it says: programs for the right machine that
// need no DLL beside them, the user guide as a book on the i686 viewer, the
// x86-64 viewer, and a README that names them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "builder/StubContract.h"
#include "format/ArchiveIndex.h"
#include "platform/Ascii.h"
#include "platform/ByteReader.h"
#include "resources/ViewerStub.h"
#include "tests/support/TempDir.h"
#include "viewer/BookReader.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;

struct Zip {
    const char* arch;
    std::set<std::string> files;
    uint16_t machine;  // of folivexc.exe
};

// The files of zip, unpacked into dir.
std::set<std::string> Unpack(const std::string& zip, const std::string& dir) {
    fs::create_directories(dir);
    std::string output;
    EXPECT_EQ(test::RunCommand("cd " + test::ShellQuote(dir) + " && cmake -E tar xf " +
                                   test::ShellQuote(zip) + " 2>&1",
                               output),
              0)
        << output;
    std::set<std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(dir))
        files.insert(fs::relative(item.path(), dir).string());
    return files;
}

uint16_t Machine(const std::vector<uint8_t>& exe) {
    const ByteReader pe(exe);
    return pe.U16At(uint64_t{pe.U32At(60)} + 4);
}

// The DLLs an executable imports, by its import directory (data directory
// 1), lower-cased.
std::set<std::string> ImportedDlls(const std::vector<uint8_t>& exe) {
    const ByteReader pe(exe);
    const uint64_t header = pe.U32At(60);
    const uint16_t NumberOfSections = pe.U16At(header + 6);
    const uint64_t optional = header + 24;
    const uint64_t sectionTable = optional + pe.U16At(header + 20);
    const bool plus = pe.U16At(optional) == 0x020B;
    const auto fileOffset = [&](uint32_t rva) -> uint64_t {
        for (uint16_t s = 0; s < NumberOfSections; ++s) {
            const uint64_t h = sectionTable + uint64_t{s} * 40;
            const uint32_t address = pe.U32At(h + 12), size = pe.U32At(h + 16);
            if (rva >= address && rva - address < size) return pe.U32At(h + 20) + (rva - address);
        }
        throw ByteReader::OutOfRange();
    };
    std::set<std::string> dlls;
    const uint32_t imports = pe.U32At(optional + (plus ? 112 : 96) + 8);
    for (uint64_t d = fileOffset(imports); pe.U32At(d + 12) != 0; d += 20) {
        std::string name;
        for (uint64_t at = fileOffset(pe.U32At(d + 12)); pe.U8At(at) != 0; ++at)
            name += ToLowerAscii(static_cast<char>(pe.U8At(at)));
        dlls.insert(name);
    }
    return dlls;
}

// What every Windows has: a program that imports only these runs as one
// file. The wizard adds the common controls and dialogs and COM, which the
// shell's pickers use.
bool NeedsOnlyTheSystem(const std::vector<uint8_t>& exe) {
    const std::set<std::string> system = {"advapi32.dll", "comctl32.dll", "comdlg32.dll",
                                          "kernel32.dll", "msvcrt.dll",   "ole32.dll",
                                          "shell32.dll",  "user32.dll",   "ws2_32.dll"};
    const auto dlls = ImportedDlls(exe);
    return !dlls.empty() && std::includes(system.begin(), system.end(), dlls.begin(), dlls.end());
}

class WindowsDist : public ::testing::TestWithParam<Zip> {};

TEST_P(WindowsDist, HoldsWhatItsReadmeSays) {
    const Zip& zip = GetParam();
    const std::string name = std::string("folivex-") + FOLIVEX_VERSION + "-" + zip.arch + ".zip";
    test::TempDir dir;
    const std::string root = dir / "unpacked";
    ASSERT_EQ(Unpack(std::string(FOLIVEX_DIST_DIR) + "/" + name, root), zip.files) << name;

    // The command-line program and the wizard, for its machine, with the
    // C++ runtime, threads and zlib linked in.
    for (const char* program : {"folivexc.exe", "folivex.exe"}) {
        const auto exe = test::ReadFile(root + "/" + program);
        EXPECT_EQ(Machine(exe), zip.machine) << program;
        EXPECT_TRUE(NeedsOnlyTheSystem(exe)) << name << ": " << program;
    }
    // The wizard is a program with windows (GUI subsystem), not a console
    // one.
    const auto wizard = test::ReadFile(root + "/folivex.exe");
    const ByteReader pe(wizard);
    EXPECT_EQ(pe.U16At(uint64_t{pe.U32At(60)} + 24 + 68), 2) << "IMAGE_SUBSYSTEM_WINDOWS_GUI";

    // The user guide is a book on the viewer every e-book carries.
    const std::string help = root + "/help.exe";
    const auto stub = EmbeddedViewerStub();
    const auto guide = test::ReadFile(help);
    ASSERT_GT(guide.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), guide.begin()));
    EXPECT_EQ(BookReader::Open(help)->Texts().title, "Folivex Help");
    EXPECT_TRUE(NeedsOnlyTheSystem(guide));

    if (zip.files.count("folivex-view-win64.exe")) {
        const auto viewer = test::ReadFile(root + "/folivex-view-win64.exe");
        uint16_t machine = 0;
        EXPECT_EQ(ViewerStubProblem(viewer, &machine), "");
        EXPECT_EQ(machine, 0x8664);
        EXPECT_TRUE(NeedsOnlyTheSystem(viewer));
    }

    const auto readme = test::ReadFile(root + "/README.txt");
    const std::string text(readme.begin(), readme.end());
    for (const std::string& file : zip.files)
        EXPECT_NE(text.find(file), std::string::npos) << "README.txt does not name " << file;
    EXPECT_EQ(text.find('@'), std::string::npos) << "a placeholder is left";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'))
        << "Windows line ends";
}

INSTANTIATE_TEST_SUITE_P(
    , WindowsDist,
    ::testing::Values(
        Zip{"win64",
            {"README.txt", "folivex.exe", "folivexc.exe", "help.exe", "folivex-view-win64.exe"},
            0x8664},
        Zip{"win32", {"README.txt", "folivex.exe", "folivexc.exe", "help.exe"}, 0x014C}),
    [](const auto& param) { return std::string(param.param.arch); });

}  // namespace
}  // namespace folivex
