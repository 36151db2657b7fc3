#include "app/Document.h"

namespace zelk {

void CZELKDoc::ReadOptionsFile() {}

}  // namespace zelk
