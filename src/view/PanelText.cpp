// Texts of the panel lines: bracketed lists of numbers and path lines that fit their room.
#include "base/Format.h"
#include "view/Panels.h"

namespace zelk {

std::string ListText(const std::string& prefix, const double* v, int n, const char* fmt, char open, char close) {
    std::string s = prefix;
    s += open;
    for (int i = 0; i < n; ++i) {
        if (i > 0) s += ',';
        s += Format(fmt, v[i]);
    }
    s += close;
    return s;
}

std::string FitPathLine(PanelWriter& out, int x, int maxRight, const std::string& prefix, const std::string& path,
                        const std::string& suffix) {
    const std::string whole = prefix + path + suffix;
    if (x + out.Width(whole) <= maxRight) return whole;
    // Keep as much of the end of the path (its file name first) as fits after "...".
    auto cut = [&](size_t from) {
        // Never in the middle of a character's bytes.
        while (from < path.size() && (static_cast<unsigned char>(path[from]) & 0xC0) == 0x80) ++from;
        return prefix + "..." + path.substr(from) + suffix;
    };
    size_t lo = 1, hi = path.size();  // cut(hi) keeps nothing of the path
    if (x + out.Width(cut(hi)) > maxRight) return cut(hi);
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (x + out.Width(cut(mid)) <= maxRight)
            hi = mid;
        else
            lo = mid + 1;
    }
    return cut(hi);
}

}  // namespace zelk
