#include "app/Document.h"

namespace zelk {

void CZELKDoc::StartPacingThread(int) {}

}  // namespace zelk
