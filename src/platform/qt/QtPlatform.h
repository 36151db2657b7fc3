// The Platform of the Qt shell: message boxes, the main window's state, the synchronous
// send to the window's thread, thread priorities, the clock and the random generator.
// In the headless mode every message box prints its text to stderr and takes the safe
// answer, so nothing waits for a person.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Platform.h"

#include "platform/qt/ViewWidget.h"

class QWidget;

namespace zelk {

// The text a headless message box prints: the text unchanged, then a blank line.
std::string HeadlessBoxText(const std::string& text);

class QtPlatform : public Platform {
public:
    // Construct in the window's thread, after the QApplication. `args` are the process
    // arguments without "--headless".
    QtPlatform(std::vector<std::string> args, bool headless);
    ~QtPlatform() override;

    void SetMainWindow(QWidget* window) { m_window = window; }
    void SetViewWidget(ViewWidget* view) { m_view = view; }
    // Where headless message boxes print (stderr unless a test changes it).
    void SetErrorStream(std::ostream* out) { m_err = out; }
    // Called before a headless message box prints (the headless progress line clears
    // itself there).
    void SetBeforeErrorOutput(std::function<void()> fn) { m_beforeErr = std::move(fn); }
    // Called with the run kind when a batch run has finished, before the document empties
    // itself (the headless mode takes its picture there).
    void SetBatchRunEndAction(std::function<void(int)> fn) { m_batchRunEnd = std::move(fn); }
    bool InWindowThread() const;

    MsgAnswer MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    bool HasMainWindow() override { return !m_window.isNull(); }
    void ShowMainWindow(bool maximised) override;
    std::intptr_t GetForegroundWindow() override;
    void SetForegroundWindow(std::intptr_t window) override;
    bool IsMainWindowForeground() override;
    void RequestClose() override;
    std::string CommandLine() override;
    std::string CurrentDirectory() override;
    void RedrawAllViews() override;
    void SetCurrentThreadPriority(int level) override;
    void Sleep(unsigned milliseconds) override;
    std::uint32_t TickCount() override;
    void RunInWindowThread(const std::function<void()>& fn) override;
    void ProcessPendingSends() override;
    int Rand() override;
    void SeedRand(unsigned seed) override;
    SystemTime Now() override;
    bool IsHeadless() override { return m_headless; }
    void OnBatchRunEnd(int runKind) override {
        if (m_batchRunEnd) m_batchRunEnd(runKind);
    }

    int messageBoxCount() const { return m_boxes; }

private:
    std::vector<std::string> m_args;
    bool m_headless;
    QObject m_receiver;  // lives in the window's thread; target of the synchronous send
    QPointer<QWidget> m_window;
    QPointer<ViewWidget> m_view;
    std::ostream* m_err;
    std::function<void()> m_beforeErr;
    std::function<void(int)> m_batchRunEnd;
    std::atomic<std::uint32_t> m_seed{1};
    int m_boxes = 0;
};

}  // namespace zelk
