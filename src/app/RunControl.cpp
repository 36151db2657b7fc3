#include "app/Document.h"

namespace zelk {

void CZELKDoc::RunReset() {}
void CZELKDoc::OnAnalyzeNrt() {}
void CZELKDoc::OnStepMessage(RunMessage) {}
bool CZELKDoc::AnyRunActive() const { return false; }
void CZELKDoc::StopAllRunsAndJoin() {}

}  // namespace zelk
