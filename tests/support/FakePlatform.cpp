#include "support/FakePlatform.h"

#include <chrono>
#include <thread>

namespace zelk {

FakePlatform::FakePlatform() {
    now.year = 2026;
    now.month = 12;
    now.day = 7;
}

bool FakePlatform::HasBox(const std::string& text) const {
    for (const auto& b : boxes)
        if (b.text == text) return true;
    return false;
}

bool FakePlatform::HasBoxStartingWith(const std::string& prefix) const {
    for (const auto& b : boxes)
        if (b.text.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

MsgAnswer FakePlatform::MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    boxes.push_back({text, icon, buttons});
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (!answers.empty()) {
        MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return defaultAnswer;
}

void FakePlatform::RedrawAllViews() {
    ++redraws;
    if (onRedraw) onRedraw();
}

void FakePlatform::SetCurrentThreadPriority(int level) {
    std::lock_guard<std::mutex> g(m_lock);
    priorities.push_back(level);
}

void FakePlatform::Sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t FakePlatform::TickCount() {
    if (autoTick) return tick.fetch_add(1) + 1;
    return tick.load();
}

void FakePlatform::RunInWindowThread(const std::function<void()>& fn) {
    std::lock_guard<std::mutex> g(m_lock);
    fn();
}

int FakePlatform::Rand() {
    if (!randScript.empty()) {
        int v = randScript.front();
        randScript.pop_front();
        return v;
    }
    m_seed = m_seed * 1103515245u + 12345u;
    return static_cast<int>((m_seed / 65536u) % 32768u);
}

}  // namespace zelk
