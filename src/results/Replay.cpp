#include "app/Document.h"

namespace zelk {

void CZELKDoc::OnAnalyzeNrtReplay() {}
void CZELKDoc::ReplayNrtStep() {}

}  // namespace zelk
