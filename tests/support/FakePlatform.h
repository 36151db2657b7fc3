// A scripted Platform for tests: records every message box and answers from a script,
// runs "window-thread" calls directly, and has a settable clock and command line.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace zelk {

struct RecordedBox {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
};

class FakePlatform : public Platform {
public:
    FakePlatform();

    // --- script and inspection
    std::vector<RecordedBox> boxes;      // every message box, in order
    std::deque<MsgAnswer> answers;       // answers to OK/Cancel boxes (default: Ok)
    MsgAnswer defaultAnswer = MsgAnswer::Ok;
    std::string commandLine = "zelk";
    std::string currentDirectory = ".";
    int redraws = 0;
    int closeRequests = 0;
    int showMaximised = 0, showMinimised = 0;
    bool hasMainWindow = true;
    bool foreground = true;
    bool headless = false;
    std::atomic<std::uint32_t> tick{0};
    bool autoTick = true;   // each TickCount() call advances the clock by 1 ms
    std::vector<int> priorities;  // every SetCurrentThreadPriority level
    std::deque<int> randScript;   // values returned by Rand() before the generator
    SystemTime now;
    // Called on every RedrawAllViews (for example a view's Draw).
    std::function<void()> onRedraw;

    std::string LastBox() const { return boxes.empty() ? std::string() : boxes.back().text; }
    bool HasBox(const std::string& text) const;
    bool HasBoxStartingWith(const std::string& prefix) const;

    // --- Platform
    MsgAnswer MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    bool HasMainWindow() override { return hasMainWindow; }
    void ShowMainWindow(bool maximised) override { (maximised ? showMaximised : showMinimised)++; }
    std::intptr_t GetForegroundWindow() override { return foreground ? 1 : 2; }
    void SetForegroundWindow(std::intptr_t) override {}
    bool IsMainWindowForeground() override { return foreground; }
    void RequestClose() override { ++closeRequests; }
    std::string CommandLine() override { return commandLine; }
    std::string CurrentDirectory() override { return currentDirectory; }
    void RedrawAllViews() override;
    void SetCurrentThreadPriority(int level) override;
    void Sleep(unsigned milliseconds) override;
    std::uint32_t TickCount() override;
    void RunInWindowThread(const std::function<void()>& fn) override;
    void ProcessPendingSends() override {}
    int Rand() override;
    void SeedRand(unsigned seed) override { m_seed = seed; }
    SystemTime Now() override { return now; }
    bool IsHeadless() override { return headless; }

private:
    std::mutex m_lock;  // window-thread calls from pacing threads are serialised
    unsigned m_seed = 1;
};

}  // namespace zelk
