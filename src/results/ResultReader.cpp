#include "app/Document.h"

namespace zelk {

bool CZELKDoc::LoadResultFiles() { return true; }

}  // namespace zelk
