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

// Runs a program that goes on until stopped (its output discarded) for `ms`, then ends it with
// SIGTERM; `ran` says it was still running then.
inline ChildCost RunChildFor(const std::vector<std::string>& arguments, int ms) {
    ChildCost cost;
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = StartChild(arguments, quiet, quiet);
    if (quiet >= 0) close(quiet);
    if (pid < 0) return cost;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    siginfo_t info{};
    const bool running =
        waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    kill(pid, SIGTERM);
    int status = 0;
    cost.ran = ReapChild(pid, cost, status) && running;
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
