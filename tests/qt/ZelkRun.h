// The zelk program run as a user runs it: a fresh directory, a shell command line in it
// with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempFiles.h"

namespace zelk {
namespace zelkrun {

struct Result {
    int status = -1;
    std::string out, err;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::string Binary() { return std::string(ZELK_BINARY_DIR) + "/zelk"; }

// A fresh directory, removed when the test program ends unless a test failed.
inline std::string FreshDir() { return testfs::MakeTempDir("zelk-bin"); }

// Runs a shell command line in dir with stdout and stderr captured.
inline Result RunZelk(const std::string& dir, const std::string& command) {
    Result r;
    const std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
    const std::string line = "cd '" + dir + "' && timeout 300 " + command + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(line.c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

inline void CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

// The example file `name` copied into dir.
inline void CopyExample(const std::string& name, const std::string& dir) {
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/" + name, dir + "/" + name);
}

}  // namespace zelkrun
}  // namespace zelk
