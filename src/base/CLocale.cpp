#include "base/CLocale.h"

namespace zelk {

locale_t CNumericLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace zelk
