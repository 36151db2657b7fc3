#include "app/Document.h"

namespace zelk {

void CZELKDoc::SetupSurfaceGrid() {}
void CZELKDoc::FillSurfaceAfterLoad() {}

}  // namespace zelk
