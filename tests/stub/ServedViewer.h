// Test helpers for a running viewer: start it as a process with
// --no-browser --url-file, wait for its address, fetch pages over HTTP, and
// stop it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace folivex::test {

struct HttpReply {
    int status = 0;
    std::string head;
    std::string body;
};

// One GET on a fresh connection ("Connection: close"); nothing on failure.
inline std::optional<HttpReply> HttpGet(uint16_t port, const std::string& target,
                                        int timeoutMs = 10000) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return std::nullopt;
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return std::nullopt;
    }
    const std::string request = "GET " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        close(fd);
        return std::nullopt;
    }
    std::string raw;
    char buffer[65536];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        raw.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    const size_t end = raw.find("\r\n\r\n");
    if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return std::nullopt;
    HttpReply reply;
    reply.status = std::stoi(raw.substr(9, 3));
    reply.head = raw.substr(0, end);
    reply.body = raw.substr(end + 4);
    return reply;
}

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
