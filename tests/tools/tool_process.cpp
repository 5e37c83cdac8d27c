#include "tool_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace ut_tools_test {

namespace {

pid_t Spawn(const std::string &program, const std::vector<std::string> &args, int *outFd, int *errFd) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    *outFd = out[0];
    *errFd = err[0];
    return pid;
}

// Reads what is there from both pipes, waiting at most timeoutMs; closes a pipe at its end
// (poll skips a closed one, whose descriptor is -1).
void Drain(int *outFd, int *errFd, std::string *out, std::string *err, int timeoutMs) {
    pollfd fds[2] = {{*outFd, POLLIN, 0}, {*errFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    char buf[4096];
    int *fdp[2] = {outFd, errFd};
    std::string *dst[2] = {out, err};
    for (int i = 0; i < 2; ++i) {
        if (*fdp[i] < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
        const ssize_t n = read(*fdp[i], buf, sizeof buf);
        if (n > 0) {
            dst[i]->append(buf, static_cast<size_t>(n));
        } else {
            close(*fdp[i]);
            *fdp[i] = -1;
        }
    }
}

Result Finish(pid_t pid, int *outFd, int *errFd, std::string out, std::string err, uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((*outFd >= 0 || *errFd >= 0) && std::chrono::steady_clock::now() < deadline) {
        Drain(outFd, errFd, &out, &err, 50);
    }
    int wstatus = 0;
    if (waitpid(pid, &wstatus, WNOHANG) == 0) {
        while (std::chrono::steady_clock::now() < deadline && waitpid(pid, &wstatus, WNOHANG) == 0) usleep(10000);
        if (waitpid(pid, &wstatus, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
        }
    }
    if (*outFd >= 0) close(*outFd);
    if (*errFd >= 0) close(*errFd);
    *outFd = *errFd = -1;
    Result r;
    r.out = std::move(out);
    r.err = std::move(err);
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
    return r;
}

}  // namespace

Result RunTool(const std::string &program, const std::vector<std::string> &args, uint32_t timeoutMs) {
    int outFd = -1, errFd = -1;
    const pid_t pid = Spawn(program, args, &outFd, &errFd);
    return Finish(pid, &outFd, &errFd, {}, {}, timeoutMs);
}

RunningTool::RunningTool(const std::string &program, const std::vector<std::string> &args) {
    pid_ = Spawn(program, args, &outFd_, &errFd_);
}

RunningTool::~RunningTool() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

std::string RunningTool::WaitForLine(const std::string &text, uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        size_t start = scanned_;
        size_t nl;
        while ((nl = out_.find('\n', start)) != std::string::npos) {
            const std::string line = out_.substr(start, nl - start);
            start = nl + 1;
            scanned_ = start;
            if (line.find(text) != std::string::npos) return line;
        }
        if (outFd_ < 0 || std::chrono::steady_clock::now() >= deadline) return {};
        Drain(&outFd_, &errFd_, &out_, &err_, 50);
    }
}

Result RunningTool::Stop(int sig) {
    kill(pid_, sig);
    Result r = Finish(pid_, &outFd_, &errFd_, out_, err_, 20000);
    pid_ = -1;
    return r;
}

}  // namespace ut_tools_test
