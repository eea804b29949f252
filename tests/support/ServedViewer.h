// A program run as a process of its own for the tests: started with its
// output sent away, waited for, stopped; and, for a viewer started with
// --no-browser --url-file, the port it serves on (HttpClient.h fetches
// from it).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace folivex::test {

// A process started with its output sent to /dev/null (so that nothing it
// leaves behind, such as a wineserver, holds the test's pipes open).
class ChildProcess {
public:
    // stderrFile: where the process's standard error goes (else /dev/null).
    ChildProcess(const std::vector<std::string>& argv,
                 const std::vector<std::string>& extraEnv = {},
                 const std::string& stderrFile = "/dev/null") {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> rawArgv, rawEnv;
        for (const auto& a : argv) rawArgv.push_back(const_cast<char*>(a.c_str()));
        rawArgv.push_back(nullptr);
        for (const auto& e : env) rawEnv.push_back(const_cast<char*>(e.c_str()));
        rawEnv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, rawArgv[0], &actions, nullptr, rawArgv.data(), rawEnv.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // True while the process has not ended.
    bool Running() {
        if (m_pid <= 0) return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }
    int ExitCode() const { return m_exitCode; }
    pid_t Pid() const { return m_pid; }
    // Waits for the end; the exit code, or -1 when time ran out (the
    // process is stopped then).
    int Wait(std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Running()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                Stop();
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return m_exitCode;
    }
    // SIGTERM, then SIGKILL after a grace period.
    void Stop() {
        if (!Running()) return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 50 && Running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (Running()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_exitCode = -1;
};

// Waits until the viewer has written its address to urlFile; the port, or
// nothing when the process ended or time ran out first.
inline std::optional<uint16_t> WaitForPort(ChildProcess& process, const std::string& urlFile,
                                           std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(urlFile);
        std::string url;
        if (in && std::getline(in, url) && url.rfind("http://127.0.0.1:", 0) == 0)
            return static_cast<uint16_t>(std::stoi(url.substr(17)));
        if (!process.Running()) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

}  // namespace folivex::test
