#include "app/Document.h"

namespace zelk {

bool CZELKDoc::CheckValueTypes() { return true; }

}  // namespace zelk
