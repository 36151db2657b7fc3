// Rewrites the expected files of the tiny Newton-Raphson run (`make update-golden`), after
// a deliberate change of the arithmetic or of the file layout. Check the difference before
// committing it.
#include <fstream>
#include <iostream>

#include "support/GoldenFiles.h"

int main() {
    std::string error;
    const auto files = zelk::golden::TinyRunFiles(error);
    if (!error.empty()) {
        std::cerr << "update_golden: the run failed: " << error << "\n";
        return 1;
    }
    for (const auto& f : files) {
        const std::string path = zelk::golden::ExpectedDir() + "tiny.dat" + f.first;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << f.second;
        if (!out) {
            std::cerr << "update_golden: could not write " << path << "\n";
            return 1;
        }
        std::cout << "update_golden: wrote " << path << "\n";
    }
    return 0;
}
