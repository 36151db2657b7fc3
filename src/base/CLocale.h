// The C library's "C" locale, for reading and writing numbers the same way on every
// desktop: the files of a German desktop must equal those of an English one.
#pragma once

#include <locale.h>

namespace zelk {

// The "C" locale object (made once).
locale_t CNumericLocale();

// Makes the calling thread use the "C" locale while it lives.
class CNumericScope {
public:
    CNumericScope() : m_old(uselocale(CNumericLocale())) {}
    ~CNumericScope() { uselocale(m_old); }
    CNumericScope(const CNumericScope&) = delete;
    CNumericScope& operator=(const CNumericScope&) = delete;

private:
    locale_t m_old;
};

}  // namespace zelk
