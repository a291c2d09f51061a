#pragma once
// Other programs in a benchmark: a peer run to its end with its output and its cost, or one
// started in the background to be driven and reaped later. Header only: the bench executables
// are built from their own file plus what bench/CMakeLists.txt links.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

struct ChildCost {
    bool ran = false;  // exited with status 0
    double cpuSeconds = 0;
    double peakMiB = 0;
    std::string output;
};

// Starts a program (looked up on PATH) with its standard output on `output` and its standard
// error on `errors` when those are not negative; returns its process id, or -1. Spawned rather
// than forked: a fork copies the page tables of this large process and would count as the
// peer's time.
inline pid_t StartChild(const std::vector<std::string>& arguments, int output = -1,
                        int errors = -1) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    if (errors >= 0) posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// Waits for the child's end and takes its CPU time and peak resident size into cost.
inline bool ReapChild(pid_t pid, ChildCost& cost, int& status) {
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return false;
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    cost.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    cost.peakMiB = usage.ru_maxrss / 1024.0;
    return true;
}

// Runs a program to its end with its standard output captured; CPU time and the peak
// resident size come from the kernel's accounting of the child.
inline ChildCost RunChild(const std::vector<std::string>& arguments) {
    ChildCost cost;
    int out[2];
    // Close-on-exec: only the child's standard output keeps the pipe's write end open.
    if (pipe2(out, O_CLOEXEC) != 0) return cost;
    const pid_t pid = StartChild(arguments, out[1]);
    close(out[1]);
    char buffer[65536];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) cost.output.append(buffer, n);
    close(out[0]);
    int status = 0;
    if (ReapChild(pid, cost, status)) cost.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

// How far a running child has read the file at `path` (the least of its descriptors on it), or
// -1 when it has none open.
inline long ChildReadPosition(pid_t pid, const std::filesystem::path& path) {
    const std::string dir = "/proc/" + std::to_string(pid);
    long least = -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "/fd", error)) {
        if (std::filesystem::read_symlink(entry.path(), error) != path) continue;
        FILE* info = std::fopen((dir + "/fdinfo/" + entry.path().filename().string()).c_str(), "r");
        long position = -1;
        if (info && std::fscanf(info, "pos: %ld", &position) == 1 && position >= 0)
            least = least < 0 ? position : std::min(least, position);
        if (info) std::fclose(info);
    }
    return least;
}

// What a running child has cost so far: CPU time of all its threads, ended ones included,
// and its peak resident size.
inline bool ReadRunningCost(pid_t pid, ChildCost& cost) {
    const std::string dir = "/proc/" + std::to_string(pid);
    FILE* stat = std::fopen((dir + "/stat").c_str(), "r");
    if (!stat) return false;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* fields = read ? std::strrchr(line, ')') : nullptr;
    unsigned long user = 0, system = 0;
    // After the name: state, then eleven fields before utime and stime.
    if (!fields || std::sscanf(fields + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                               &user, &system) != 2)
        return false;
    cost.cpuSeconds = double(user + system) / sysconf(_SC_CLK_TCK);
    FILE* status = std::fopen((dir + "/status").c_str(), "r");
    if (!status) return false;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0) cost.peakMiB = std::atof(line + 6) / 1024.0;
    std::fclose(status);
    return true;
}

// Runs a program that goes on until stopped (its output discarded) until `done(pid)` holds,
// asked every 20 ms for at most `timeoutMs`; its cost is read at that moment, and it is then
// ended with SIGTERM. `ran` says done held while it was still running.
template <class Done>
inline ChildCost RunChildUntil(const std::vector<std::string>& arguments, Done done,
                               int timeoutMs) {
    ChildCost cost;
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = StartChild(arguments, quiet, quiet);
    if (quiet >= 0) close(quiet);
    if (pid < 0) return cost;
    for (int waited = 0; waited < timeoutMs && !cost.ran; waited += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        siginfo_t info{};
        const bool running =
            waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
        if (!running) break;
        cost.ran = done(pid) && ReadRunningCost(pid, cost);
    }
    kill(pid, SIGTERM);
    int status = 0;
    ChildCost ending;
    ReapChild(pid, ending, status);
    return cost;
}

// Ends a child started in the background: asked with SIGTERM, killed when it has not ended
// within `graceMs`, and reaped either way.
inline void StopChild(pid_t pid, int graceMs = 3000) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int waited = 0; waited < graceMs; waited += 20) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// The count after `flag` on the command line (at least 1), else `fallback`.
inline int CountFlag(int argc, char** argv, const char* flag, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0) return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

// The vexlo built beside this benchmark, with a display to show it on; else an empty path,
// and why on standard error.
inline std::filesystem::path VexloBesideBench() {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "DISPLAY is not set: run it under xvfb-run\n");
        return {};
    }
    const std::filesystem::path vexlo =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "vexlo";
    if (std::filesystem::exists(vexlo)) return vexlo;
    std::fprintf(stderr, "no %s: build the vexlo target\n", vexlo.c_str());
    return {};
}
