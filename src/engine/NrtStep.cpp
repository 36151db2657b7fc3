#include "app/Document.h"

namespace zelk {

void CZELKDoc::NrtStep() {}

}  // namespace zelk
