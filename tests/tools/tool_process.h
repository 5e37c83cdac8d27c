// Runs a tool as its own process: arguments in, exit status, stdout and stderr out; or keeps it
// running, reads its output line by line with a bounded wait and signals it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ut_tools_test {

struct Result {
    int status = -1;  // exit status; -1 when the process did not exit normally
    int signal = 0;   // the signal that ended it, 0 when it exited
    std::string out, err;
};

// Runs to its end (bounded: killed after timeoutMs).
Result RunTool(const std::string &program, const std::vector<std::string> &args, uint32_t timeoutMs = 30000);

class RunningTool {
public:
    RunningTool(const std::string &program, const std::vector<std::string> &args);
    ~RunningTool();  // kills the process if it still runs
    RunningTool(const RunningTool &) = delete;
    RunningTool &operator=(const RunningTool &) = delete;

    // Waits for a stdout line containing text; returns it, or empty on time-out or end of output.
    std::string WaitForLine(const std::string &text, uint32_t timeoutMs = 20000);
    const std::string &Out() const { return out_; }
    // Sends sig and waits (bounded) for the end; the rest of the output is read.
    Result Stop(int sig);

private:
    void ReadSome(int timeoutMs);
    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    size_t scanned_ = 0;  // lines of out_ already returned by WaitForLine
};

}  // namespace ut_tools_test
