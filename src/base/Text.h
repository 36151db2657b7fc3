// Tokens and the C library's number conversions, as every reader of the program uses them.
#pragma once

#include <string>

#include "base/Lists.h"

namespace zelk {

// Splits at one delimiter; runs of it count as one separator and leading or trailing
// delimiters are ignored, so no token is ever empty.
StringList SplitTokens(const std::string& text, char delim);

std::string UpperCase(std::string s);

// The C library's atoi / atof: leading white space, optional sign, digits; the rest of
// the text is ignored and no number gives 0.
int CAtoi(const std::string& s);
double CAtof(const std::string& s);

}  // namespace zelk
