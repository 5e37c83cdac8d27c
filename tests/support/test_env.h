// Helpers every test folder (and bench/) shares: waiting for a condition, draining the command
// thread, reading a gzip file back.
#pragma once

#include <functional>
#include <string>

namespace ut_test {

// Polls cond until it holds; the bound only keeps a broken build from hanging (not a timing
// assertion).
bool WaitUntil(const std::function<bool()> &cond, int seconds = 30);

// Waits for every command queued to the command thread so far.
void DrainCommands(const char *name = "_test_drain");

// The bytes of a gzip file; "" when it cannot be read.
std::string GunzipFile(const std::string &path);

}  // namespace ut_test
