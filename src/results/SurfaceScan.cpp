#include "app/Document.h"

namespace zelk {

void CZELKDoc::OnAnalyzeSurface() {}
void CZELKDoc::ScanSurfaceStep() {}

}  // namespace zelk
