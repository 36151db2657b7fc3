// Fresh directories for the benchmarks' data files, removed when the benchmark program ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace zelk {

inline std::string BenchTempDir(const std::string& prefix) {
    struct Made {
        std::vector<std::string> dirs;
        ~Made() {
            std::error_code ec;
            for (const std::string& d : dirs) std::filesystem::remove_all(d, ec);
        }
    };
    static Made made;
    std::string tmpl = "/tmp/" + prefix + "_XXXXXX";
    if (!mkdtemp(tmpl.data())) return "/tmp";
    made.dirs.push_back(tmpl);
    return tmpl;
}

}  // namespace zelk
