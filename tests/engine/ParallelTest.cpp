// The parallel loop hands an exception of its body (std::bad_alloc) to the caller instead
// of ending the program in a worker thread.
#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "engine/Parallel.h"

using namespace zelk;

TEST(ParallelFor, AnExceptionOfOneIndexReachesTheCaller) {
    for (int threads : {1, 4}) {
        SetEngineThreads(threads);
        std::atomic<int> ran{0};
        EXPECT_THROW(ParallelFor(0, 64,
                                 [&](int i) {
                                     ++ran;
                                     if (i == 10) throw std::bad_alloc();
                                 }),
                     std::bad_alloc);
        EXPECT_GE(ran.load(), 11 / threads);
    }
    SetEngineThreads(0);
}
