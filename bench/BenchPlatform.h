// A quiet platform for the benchmarks: every box answers OK, the window thread is the
// caller's, the main window in the background unless a benchmark says otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace zelk {

class BenchPlatform : public Platform {
public:
    int boxes = 0;
    std::string lastBox;
    MsgAnswer MessageBox(const std::string& text, MsgIcon, MsgButtons) override {
        ++boxes;
        lastBox = text;
        return MsgAnswer::Ok;
    }
    bool HasMainWindow() override { return false; }
    void ShowMainWindow(bool) override {}
    bool foreground = false;  // true: partial draws happen, as when the window is in front
    std::intptr_t GetForegroundWindow() override { return foreground ? 1 : 0; }
    void SetForegroundWindow(std::intptr_t) override {}
    bool IsMainWindowForeground() override { return foreground; }
    void RequestClose() override {}
    std::string CommandLine() override { return "zelk"; }
    std::string CurrentDirectory() override { return "."; }
    void RedrawAllViews() override {}
    void SetCurrentThreadPriority(int) override {}
    void Sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::uint32_t TickCount() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    void RunInWindowThread(const std::function<void()>& fn) override { fn(); }
    void ProcessPendingSends() override {}
    int Rand() override { return std::rand() & 32767; }
    void SeedRand(unsigned seed) override { std::srand(seed); }
    SystemTime Now() override { return SystemTime(); }
};

}  // namespace zelk
