// The engine's parallel loops: every index once, loops inside loops, and two callers at
// the same time (the window's thread and a test's own), for several thread counts.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

#include "engine/Parallel.h"

using namespace zelk;

namespace {

// Sum over i of (sum over j of i * 100 + j) with an inner loop per i.
long long Nested(int outer, int inner) {
    std::vector<long long> part(outer, 0);
    ParallelFor(0, outer, [&](int i) {
        std::vector<long long> in(inner, 0);
        ParallelFor(0, inner, [&](int j) { in[j] = i * 100LL + j; });
        for (long long x : in) part[i] += x;
    });
    long long sum = 0;
    for (long long x : part) sum += x;
    return sum;
}

}  // namespace

TEST(Parallel, EveryIndexOnceNestedAndFromTwoCallers) {
    const long long expected = [] {
        long long s = 0;
        for (int i = 0; i < 37; ++i)
            for (int j = 0; j < 23; ++j) s += i * 100LL + j;
        return s;
    }();
    for (int threads : {1, 2, 8}) {
        SetEngineThreads(threads);
        std::vector<std::atomic<int>> hits(1000);
        ParallelFor(0, 1000, [&](int i) { hits[i].fetch_add(1); });
        for (auto& h : hits) EXPECT_EQ(h.load(), 1);
        long long other = 0;
        std::thread t([&] {
            for (int r = 0; r < 20; ++r) other += Nested(37, 23);
        });
        long long mine = 0;
        for (int r = 0; r < 20; ++r) mine += Nested(37, 23);
        t.join();
        EXPECT_EQ(mine, 20 * expected) << threads;
        EXPECT_EQ(other, 20 * expected) << threads;
    }
    SetEngineThreads(0);
}

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
