#include "app/Document.h"

namespace zelk {

bool CZELKDoc::WriteTables(const std::string&, int, int) { return false; }
void CZELKDoc::DeleteResultFiles(const std::string&) {}

}  // namespace zelk
