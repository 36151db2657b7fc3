// printf-style formatting, the fixed-width fields of the result files and the time text.
#pragma once

#include <string>

namespace zelk {

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// "%12.8f".
std::string Real12(double v);
// The same appended to out.
void AppendReal12(std::string& out, double v);
// Column name right-aligned in 12 characters, cut to 12 when longer.
std::string FitRight12(const std::string& s);
// Row label left-aligned in 12 characters, cut to 12 when longer.
std::string FitLeft12(const std::string& s);

// "%d days, %d hours, %d minutes, %d seconds", or "0 seconds" for x <= 0 (and for a
// value that is not finite).
std::string TimeText(double seconds);

}  // namespace zelk
