#include "app/Document.h"

namespace zelk {

bool CZELKDoc::BatchTrigger() { return false; }
void CZELKDoc::BatchCompletion(int) {}

}  // namespace zelk
