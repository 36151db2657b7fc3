#include "app/Document.h"

namespace zelk {

void CZELKDoc::SetupSurfaceGrid() {}
bool CZELKDoc::FillSurfaceAfterLoad() { return true; }

}  // namespace zelk
