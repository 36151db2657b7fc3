#include "app/Document.h"

namespace zelk {

bool CZELKDoc::PrepareData() { return false; }
void CZELKDoc::RecomputeRanges() {}
void CZELKDoc::CheckInitW() {}

}  // namespace zelk
