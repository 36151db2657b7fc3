#include "app/Document.h"

namespace zelk {

bool CZELKDoc::LoadDataFile(const std::string&) { return false; }

}  // namespace zelk
