// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace ut_test {
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string &path);
}  // namespace ut_test
