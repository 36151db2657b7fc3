#include "app/Document.h"

namespace zelk {

bool CZELKDoc::LoadSurfaceFile() { return true; }

}  // namespace zelk
