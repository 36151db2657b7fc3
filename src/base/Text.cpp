#include "base/Text.h"

#include <climits>
#include <clocale>
#include <cstdlib>

#include "base/CLocale.h"

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

// ASCII letters only, whatever the environment's character rules (a Turkish locale would
// otherwise change what "i" becomes).
std::string UpperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// As the C library reads them in its own "C" locale, whatever the environment says (a
// decimal comma would cut every fraction off). An integer beyond the 32-bit range is held
// at its nearest end.
int CAtoi(const std::string& s) {
    const long v = strtol_l(s.c_str(), nullptr, 10, CNumericLocale());
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}
double CAtof(const std::string& s) { return strtod_l(s.c_str(), nullptr, CNumericLocale()); }

}  // namespace zelk
