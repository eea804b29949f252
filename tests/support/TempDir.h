// Test helpers: a fresh folder per test, whole-file reads and writes, and
// running as an ordinary user for the tests about permissions. The Windows
// tests (tests/windows) use the folder and the file helpers; what runs
// commands and changes user is POSIX only.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace folivex::test {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() /
                 ("folivex-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        // Folders made unreadable by a test must be readable to be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 m_path, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// Bytes from a string literal, e.g. Bytes("\x03\x00\x01\x00", 4).
inline std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

inline std::vector<uint8_t> Bytes(const char* s, size_t n) {
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(s),
                                reinterpret_cast<const uint8_t*>(s) + n);
}

inline void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) Append(out, part);
    return out;
}
#ifndef _WIN32

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Root reads and writes everything, so a test about permissions runs as an
// ordinary user: as "nobody" when the suite runs as root (here and in CI),
// through setpriv or else runuser; as itself otherwise.

// The command prefix that runs a program as the ordinary user: "" when this
// process is one; nothing when it is root and has neither program.
inline std::optional<std::string> OrdinaryUserPrefix() {
    if (geteuid() != 0) return std::string();
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) return std::nullopt;
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
        const std::string setpriv = std::string(dir) + "setpriv";
        if (access(setpriv.c_str(), X_OK) == 0)
            return setpriv + " --reuid=" + std::to_string(nobody->pw_uid) +
                   " --regid=" + std::to_string(nobody->pw_gid) + " --clear-groups -- ";
    }
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
        const std::string runuser = std::string(dir) + "runuser";
        if (access(runuser.c_str(), X_OK) == 0) return runuser + " -u nobody -- ";
    }
    return std::nullopt;
}

// The ordinary user's ids, for giving it files.
inline uid_t OrdinaryUserId() {
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    return nobody ? nobody->pw_uid : geteuid();
}
inline gid_t OrdinaryGroupId() {
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    return nobody ? nobody->pw_gid : getegid();
}

// A copy of program in dir that the ordinary user can run: the build tree
// may lie where that user cannot reach.
inline std::string ReachableCopy(const std::string& program, const TempDir& dir) {
    namespace fs = std::filesystem;
    const fs::perms reachable = fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec;
    const std::string copy = (dir.Path() / "bin" / fs::path(program).filename()).string();
    if (!fs::exists(copy)) {
        fs::create_directories(dir.Path() / "bin");
        fs::copy_file(program, copy);
    }
    // Added to what the folder allows, never taken from it: a test may have
    // made it read-only on purpose.
    for (const fs::path& p : {dir.Path(), dir.Path() / "bin", fs::path(copy)})
        fs::permissions(p, reachable, fs::perm_options::add);
    return copy;
}

// Runs command and returns its exit code (-1 when it did not exit) and
// what it printed on stdout.
inline int RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

enum class AsOrdinaryUser { here, ran, impossible };

// For a test that must run as an ordinary user. here: this process is one,
// the test goes on. ran: this process is root; the same test was run in a
// copy of this program as "nobody", and fails here if it failed (or was
// skipped) there. impossible: root without setpriv or runuser; skip.
inline AsOrdinaryUser RunAsOrdinaryUser() {
    const std::optional<std::string> prefix = OrdinaryUserPrefix();
    if (!prefix) return AsOrdinaryUser::impossible;
    if (prefix->empty()) return AsOrdinaryUser::here;
    TempDir dir;
    const std::string program = ReachableCopy("/proc/self/exe", dir);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
    std::string output;
    const int code = RunCommand(
        *prefix + ShellQuote(program) + " --gtest_filter=" + ShellQuote(filter) + " 2>&1", output);
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    return AsOrdinaryUser::ran;
}

#endif  // _WIN32

}  // namespace folivex::test
