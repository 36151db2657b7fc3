#include "app/Document.h"

namespace zelk {

void CZELKDoc::OnCancelKey() {}

}  // namespace zelk
