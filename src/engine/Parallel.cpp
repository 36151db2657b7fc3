// The engine's parallel loops, on OpenMP's persistent threads when the compiler has it (a
// loop costs microseconds to start) and on the standard library's threads otherwise, with
// a thread-count knob. Callers keep one result slot per index and reduce in index order,
// so results do not depend on the thread count.
#include "engine/Parallel.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace zelk {

namespace {
std::atomic<int> g_threads{0};
}

void SetEngineThreads(int threads) { g_threads = threads; }

int EngineThreads() {
    const int t = g_threads.load();
    if (t > 0) return t;
#ifdef _OPENMP
    return omp_get_num_procs();
#else
    const unsigned hc = std::thread::hardware_concurrency();
    return hc == 0 ? 1 : static_cast<int>(hc);
#endif
}

void ParallelFor(int begin, int end, const std::function<void(int)>& body) {
    const int count = end - begin;
    if (count <= 0) return;
    const int threads = count < EngineThreads() ? count : EngineThreads();
    if (threads <= 1) {
        for (int i = begin; i < end; ++i) body(i);
        return;
    }
    // An exception (std::bad_alloc) must not leave a worker thread, where it would end the
    // program: the first one is kept, the remaining indices are skipped, and it is thrown
    // again on the calling thread once the loop is over.
    std::exception_ptr caught;
    std::mutex caughtLock;
    std::atomic<bool> failed{false};
    auto guarded = [&](int i) {
        if (failed.load(std::memory_order_relaxed)) return;
        try {
            body(i);
        } catch (...) {
            std::lock_guard<std::mutex> g(caughtLock);
            if (!caught) caught = std::current_exception();
            failed = true;
        }
    };
#ifdef _OPENMP
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
    for (int i = begin; i < end; ++i) guarded(i);
#else
    std::atomic<int> next{begin};
    auto worker = [&]() {
        for (int i = next.fetch_add(1); i < end; i = next.fetch_add(1)) guarded(i);
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (auto& th : pool) th.join();
#endif
    if (caught) std::rethrow_exception(caught);
}

}  // namespace zelk
