#include "app/Document.h"

namespace zelk {

bool CZELKDoc::OnNewDocument() { bNoData = 1; return true; }
bool CZELKDoc::OnOpenDocument(const std::string&) { return false; }
bool CZELKDoc::ReadCommandLine() { return true; }

}  // namespace zelk
