#include "base/Format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "base/CLocale.h"

namespace zelk {

std::string Format(const char* fmt, ...) {
    // Numbers are written with a decimal point whatever the environment's locale says.
    const CNumericScope cLocale;
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

std::string Real12(double v) { return Format("%12.8f", v); }

std::string FitRight12(const std::string& s) {
    if (s.size() >= 12) return s.substr(0, 12);
    return std::string(12 - s.size(), ' ') + s;
}

std::string FitLeft12(const std::string& s) {
    if (s.size() >= 12) return s.substr(0, 12);
    return s + std::string(12 - s.size(), ' ');
}

std::string TimeText(double x) {
    if (!(x > 0) || !std::isfinite(x)) return "0 seconds";
    double days = std::floor(x / 86400.0);
    double rest = x - days * 86400.0;
    double hours = std::floor(rest / 3600.0);
    rest -= hours * 3600.0;
    double minutes = std::floor(rest / 60.0);
    rest -= minutes * 60.0;
    double seconds = std::floor(rest);
    // Days are clamped so that an absurd estimate never overflows the integer field.
    if (days > 2e9) days = 2e9;
    return Format("%d days, %d hours, %d minutes, %d seconds", static_cast<int>(days),
                  static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds));
}

}  // namespace zelk
