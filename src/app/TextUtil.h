// Text helpers shared by every subsystem: token splitting, the C library's number
// conversions, the fixed-width fields of the result files, printf-style formatting and
// the elapsed-time text.
#pragma once

#include <string>
#include <vector>

namespace zelk {

using StringList = std::vector<std::string>;
using RealList = std::vector<double>;

// Splits at one delimiter; runs of it count as one separator and leading or trailing
// delimiters are ignored, so no token is ever empty.
StringList SplitTokens(const std::string& text, char delim);

std::string UpperCase(std::string s);

// The C library's atoi / atof: leading white space, optional sign, digits; the rest of
// the text is ignored and no number gives 0.
int CAtoi(const std::string& s);
double CAtof(const std::string& s);

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// "%12.8f".
std::string Real12(double v);
// Column name right-aligned in 12 characters, cut to 12 when longer.
std::string FitRight12(const std::string& s);
// Row label left-aligned in 12 characters, cut to 12 when longer.
std::string FitLeft12(const std::string& s);

// "%d days, %d hours, %d minutes, %d seconds", or "0 seconds" for x <= 0 (and for a
// value that is not finite).
std::string TimeText(double seconds);

}  // namespace zelk
