// A parallel loop over an index range. Each index is one unit of work; callers keep one
// result slot per index and reduce them in index order, so results do not depend on the
// number of threads.
#pragma once

#include <functional>

namespace zelk {

void ParallelFor(int begin, int end, const std::function<void(int)>& body);
// Threads used by ParallelFor (0: all cores). Tests set it to prove thread-count independence.
void SetEngineThreads(int threads);
int EngineThreads();

}  // namespace zelk
