// The platform door: every operation the logic needs from the windowing system, the
// threads and the clock. The Qt shell implements it; tests use a scripted fake.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zelk {

enum class MsgIcon { Stop, Information };
enum class MsgButtons { Ok, OkCancel };
enum class MsgAnswer { Ok, Cancel };

// Private step messages of the pacing threads (values kept from the message table).
enum class RunMessage { NrtStep = 1023, SurfaceStep = 1019, NrtReplayStep = 1016, AutoScanStep = 1017 };

struct SystemTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Modal box; returns the button pressed. A headless platform prints the text and
    // takes the safe answer (Cancel where there is one).
    virtual MsgAnswer MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;

    virtual bool HasMainWindow() = 0;
    virtual void ShowMainWindow(bool maximised) = 0;
    virtual std::intptr_t GetForegroundWindow() = 0;
    virtual void SetForegroundWindow(std::intptr_t window) = 0;
    virtual bool IsMainWindowForeground() = 0;
    // Closes the application as File > Exit does (queued: returns at once).
    virtual void RequestClose() = 0;

    virtual std::string CommandLine() = 0;
    virtual std::string CurrentDirectory() = 0;

    // The view draws at once, synchronously, before the call returns.
    virtual void RedrawAllViews() = 0;

    // Threads: priority of the calling thread, -2 (lowest) .. +2 (highest).
    virtual void SetCurrentThreadPriority(int level) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual std::uint32_t TickCount() = 0;
    // Runs fn in the window's thread and returns after it has run (the synchronous send).
    virtual void RunInWindowThread(const std::function<void()>& fn) = 0;
    // Called in the window's thread while it waits for pacing threads to end, so that
    // their pending sends are delivered instead of dead-locking.
    virtual void ProcessPendingSends() = 0;

    // 0 .. 32767.
    virtual int Rand() = 0;
    virtual void SeedRand(unsigned seed) = 0;
    virtual SystemTime Now() = 0;

    // True for the headless batch mode: no person to answer, progress goes to stderr.
    virtual bool IsHeadless() { return false; }

    // A batch run of the given kind has finished its last step and the document is about
    // to empty itself: the last moment at which the view shows the run's final state.
    virtual void OnBatchRunEnd(int runKind) { (void)runKind; }
};

}  // namespace zelk
