// How much work one step of a run may do: a time box (about 10 ms, so the window never
// stalls), or exactly one item when a run is stepped one item at a time (tests use it to
// prove that results do not depend on the grouping).
#pragma once

#include <chrono>

namespace zelk {

class StepBudget {
public:
    StepBudget(int milliseconds, bool oneItem)
        : m_one(oneItem),
          m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)) {}
    // An unlimited budget: every item fits.
    static StepBudget Unlimited() { return StepBudget(); }
    // True when another item fits in this step (the first always does).
    bool More(int done) const {
        if (done == 0 || m_unlimited) return true;
        if (m_one) return false;
        return std::chrono::steady_clock::now() < m_end;
    }
    // Milliseconds left in the time box (0 once it is over; huge when unlimited).
    double RemainingMs() const {
        if (m_unlimited) return 1e300;
        const double ms = std::chrono::duration<double, std::milli>(m_end - std::chrono::steady_clock::now()).count();
        return ms > 0 ? ms : 0;
    }
    bool OneItem() const { return m_one; }
    bool IsUnlimited() const { return m_unlimited; }

private:
    StepBudget() : m_one(false), m_unlimited(true) {}
    bool m_one;
    bool m_unlimited = false;
    std::chrono::steady_clock::time_point m_end{};
};

}  // namespace zelk
