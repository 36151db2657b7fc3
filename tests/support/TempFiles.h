// Fresh temporary directories and whole-file reads and writes for the tests.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zelk {
namespace testfs {

// The directories made for a test program are removed when it ends, unless a test failed
// (they are then kept to look at).
struct MadeDirs {
    std::vector<std::string> dirs;
    ~MadeDirs() {
        if (!::testing::UnitTest::GetInstance()->Passed()) return;
        std::error_code ec;
        for (const std::string& d : dirs) std::filesystem::remove_all(d, ec);
    }
};

inline std::string MakeTempDir(const std::string& prefix = "zelk") {
    static MadeDirs made;
    std::string tmpl = ::testing::TempDir() + prefix + "_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    char* dir = mkdtemp(buf.data());
    EXPECT_NE(dir, nullptr);
    if (dir) made.dirs.push_back(dir);
    return dir ? std::string(dir) : std::string();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The lines of a text, without their "\n".
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        out.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return out;
}

// Files of a directory whose names contain ".tmp" (temporaries left behind).
inline int Temporaries(const std::string& dir) {
    int count = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) count += std::string(e->d_name).find(".tmp") != std::string::npos;
        ::closedir(d);
    }
    return count;
}

}  // namespace testfs
}  // namespace zelk
