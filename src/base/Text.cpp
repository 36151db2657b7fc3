#include "base/Text.h"

#include <cctype>
#include <cstdlib>

namespace zelk {

StringList SplitTokens(const std::string& text, char delim) {
    StringList out;
    size_t i = 0, n = text.size();
    while (i < n) {
        while (i < n && text[i] == delim) ++i;
        if (i >= n) break;
        size_t j = i;
        while (j < n && text[j] != delim) ++j;
        out.emplace_back(text, i, j - i);
        i = j;
    }
    return out;
}

std::string UpperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int CAtoi(const std::string& s) { return std::atoi(s.c_str()); }
double CAtof(const std::string& s) { return std::atof(s.c_str()); }

}  // namespace zelk
