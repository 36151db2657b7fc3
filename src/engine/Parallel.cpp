// The engine's parallel loops on a small pool of persistent threads with a thread-count
// knob. Callers keep one result slot per index and reduce in index order, so results do not
// depend on the thread count.
//
// Between loops the pool's threads wait on a condition variable after a short spin: the
// loops of one step follow each other within microseconds and find their threads awake,
// while a run paced by the window (steps milliseconds apart) leaves no core spinning
// between its steps.
#include "engine/Parallel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace zelk {

namespace {

std::atomic<int> g_threads{0};

// How long a thread polls for more work before it sleeps, and how long the caller polls for
// the end of a loop before it sleeps.
constexpr auto kSpin = std::chrono::microseconds(50);

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

class Pool {
public:
    ~Pool() {
        {
            std::lock_guard<std::mutex> lk(mu_);
            stop_ = true;
            stopping_.store(true);
        }
        wake_.notify_all();
        for (auto& t : workers_) t.join();
    }

    // Runs body over [begin, end) on the caller and helpers more threads; false when the
    // pool is busy with another caller's loop (the caller then runs the loop itself).
    bool Run(int begin, int end, int helpers, const std::function<void(int)>& body) {
        std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
        if (!busy.owns_lock()) return false;
        {
            std::lock_guard<std::mutex> lk(mu_);
            while (static_cast<int>(workers_.size()) < helpers) {
                const int id = static_cast<int>(workers_.size());
                workers_.emplace_back([this, id] { Work(id); });
            }
            body_ = &body;
            end_ = end;
            next_.store(begin, std::memory_order_relaxed);
            helpers_ = helpers;
            remaining_.store(helpers, std::memory_order_relaxed);
            generation_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_all();
        Drain();
        // Wait for the helpers: a short spin, then sleep.
        SpinWhile([this] { return remaining_.load(std::memory_order_acquire) != 0; });
        if (remaining_.load(std::memory_order_acquire) != 0) {
            std::unique_lock<std::mutex> lk(mu_);
            done_.wait(lk, [this] { return remaining_.load(std::memory_order_acquire) == 0; });
        }
        body_ = nullptr;
        return true;
    }

private:
    // Polls cond for at most kSpin (the clock read once per 64 polls).
    template <class Cond>
    static void SpinWhile(Cond cond) {
        const auto until = std::chrono::steady_clock::now() + kSpin;
        for (;;) {
            for (int r = 0; r < 64; ++r) {
                if (!cond()) return;
                CpuRelax();
            }
            if (std::chrono::steady_clock::now() >= until) return;
        }
    }

    void Drain() {
        const std::function<void(int)>& body = *body_;
        for (int i = next_.fetch_add(1); i < end_; i = next_.fetch_add(1)) body(i);
    }

    void Work(int id) {
        t_inPool = true;
        std::uint64_t seen = 0;
        for (;;) {
            // A short spin for the next loop of the same step, then sleep.
            SpinWhile([&] {
                return generation_.load(std::memory_order_acquire) == seen && !stopping_.load();
            });
            {
                std::unique_lock<std::mutex> lk(mu_);
                wake_.wait(lk, [&] { return stop_ || generation_.load(std::memory_order_acquire) != seen; });
                if (stop_) return;
                seen = generation_.load(std::memory_order_acquire);
                if (id >= helpers_) continue;  // this loop wants fewer threads
            }
            Drain();
            if (remaining_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                std::lock_guard<std::mutex> lk(mu_);
                done_.notify_one();
            }
        }
    }

public:
    static thread_local bool t_inPool;

private:
    std::mutex busy_;  // one loop at a time
    std::mutex mu_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> workers_;
    const std::function<void(int)>* body_ = nullptr;
    int end_ = 0;
    int helpers_ = 0;
    std::atomic<int> next_{0};
    std::atomic<int> remaining_{0};
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<bool> stopping_{false};
    bool stop_ = false;
};

thread_local bool Pool::t_inPool = false;

// A child of fork() has none of the pool's threads: its loops run on its one thread.
std::atomic<bool> g_forked{false};

Pool& ThePool() {
    static Pool pool;
    static const bool atFork = [] {
        pthread_atfork(nullptr, nullptr, [] { g_forked.store(true); });
        return true;
    }();
    (void)atFork;
    return pool;
}

}  // namespace

void SetEngineThreads(int threads) { g_threads = threads; }

int EngineThreads() {
    const int t = g_threads.load();
    if (t > 0) return t;
    const unsigned hc = std::thread::hardware_concurrency();
    return hc == 0 ? 1 : static_cast<int>(hc);
}

void ParallelFor(int begin, int end, const std::function<void(int)>& body) {
    const int count = end - begin;
    if (count <= 0) return;
    const int threads = count < EngineThreads() ? count : EngineThreads();
    // One thread, or a loop inside a loop of the pool: in order on this thread (where an
    // exception simply goes on to the caller).
    if (threads <= 1 || Pool::t_inPool || g_forked.load()) {
        for (int i = begin; i < end; ++i) body(i);
        return;
    }
    // An exception (std::bad_alloc) must not leave a worker thread, where it would end the
    // program: the first one is kept, the remaining indices are skipped, and it is thrown
    // again on the calling thread once the loop is over.
    std::exception_ptr caught;
    std::mutex caughtLock;
    std::atomic<bool> failed{false};
    const std::function<void(int)> guarded = [&](int i) {
        if (failed.load(std::memory_order_relaxed)) return;
        try {
            body(i);
        } catch (...) {
            std::lock_guard<std::mutex> g(caughtLock);
            if (!caught) caught = std::current_exception();
            failed = true;
        }
    };
    if (!ThePool().Run(begin, end, threads - 1, guarded))
        for (int i = begin; i < end; ++i) body(i);
    if (caught) std::rethrow_exception(caught);
}

}  // namespace zelk
