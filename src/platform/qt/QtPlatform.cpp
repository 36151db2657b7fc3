#include "platform/qt/QtPlatform.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

#include "platform/qt/ViewWidget.h"

namespace zelk {

std::string HeadlessBoxText(const std::string& text) {
    std::string out = text;
    if (out.empty() || out.back() != '\n') out += '\n';
    out += '\n';
    return out;
}

QtPlatform::QtPlatform(std::vector<std::string> args, bool headless)
    : m_args(std::move(args)), m_headless(headless), m_err(&std::cerr) {}

QtPlatform::~QtPlatform() = default;

bool QtPlatform::InWindowThread() const { return QThread::currentThread() == m_receiver.thread(); }

MsgAnswer QtPlatform::MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (!InWindowThread()) {
        MsgAnswer answer = MsgAnswer::Ok;
        RunInWindowThread([&] { answer = MessageBox(text, icon, buttons); });
        return answer;
    }
    ++m_boxes;
    if (m_headless) {
        if (m_beforeErr) m_beforeErr();
        *m_err << HeadlessBoxText(text) << std::flush;
        // Nobody can answer: a question takes its safe answer.
        return buttons == MsgButtons::OkCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    }
    // A box over a minimised (or not yet shown) window would be hidden with it: such a
    // box stands on its own.
    QWidget* parent = m_window.data();
    if (parent != nullptr && (!parent->isVisible() || parent->isMinimized())) parent = nullptr;
    QMessageBox box(icon == MsgIcon::Stop ? QMessageBox::Critical : QMessageBox::Information, "ZELK",
                    QString::fromStdString(text),
                    buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    if (buttons == MsgButtons::OkCancel) box.setEscapeButton(QMessageBox::Cancel);
    const int result = box.exec();
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    // Only a press of OK is a yes; a box closed any other way (the application ending
    // under it, for one) takes the safe answer.
    return result == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void QtPlatform::ShowMainWindow(bool maximised) {
    if (m_window.isNull() || m_headless) return;
    if (!InWindowThread()) {
        QMetaObject::invokeMethod(&m_receiver, [this, maximised] { ShowMainWindow(maximised); },
                                  Qt::QueuedConnection);
        return;
    }
    if (maximised) {
        m_window->showMaximized();
        m_window->raise();
        m_window->activateWindow();
    } else {
        m_window->showMinimized();
    }
}

std::intptr_t QtPlatform::GetForegroundWindow() {
    // Only this application's windows are known; another application counts as 0.
    return reinterpret_cast<std::intptr_t>(QApplication::activeWindow());
}

void QtPlatform::SetForegroundWindow(std::intptr_t window) {
    if (window == 0 || m_window.isNull() || m_headless) return;
    // The document names the view by the handle 1; the main window is the other handle
    // this application can bring to the front.
    QMetaObject::invokeMethod(&m_receiver, [this, window] {
        if (m_window.isNull()) return;
        if (window != 1 && reinterpret_cast<std::intptr_t>(m_window.data()) != window) return;
        m_window->raise();
        m_window->activateWindow();
    }, Qt::QueuedConnection);
}

bool QtPlatform::IsMainWindowForeground() {
    if (m_window.isNull() || m_headless) return false;
    return m_window->isActiveWindow();
}

void QtPlatform::RequestClose() {
    if (!m_window.isNull()) {
        QMetaObject::invokeMethod(m_window.data(), "close", Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
}

std::string QtPlatform::CommandLine() {
    std::string line;
    for (size_t i = 0; i < m_args.size(); ++i) {
        if (i > 0) line += ' ';
        line += m_args[i];
    }
    return line;
}

std::string QtPlatform::CurrentDirectory() { return QDir::currentPath().toStdString(); }

void QtPlatform::RedrawAllViews() {
    if (!InWindowThread()) {
        RunInWindowThread([this] { RedrawAllViews(); });
        return;
    }
    if (!m_view.isNull()) m_view->Redraw();
}

void QtPlatform::SetCurrentThreadPriority(int level) {
    if (level < -2) level = -2;
    if (level > 2) level = 2;
    // Lowest .. highest as nice values of the calling thread. Raising the priority needs a
    // privilege the user may not have: then the thread keeps its priority.
    static const int kNice[] = {10, 5, 0, -5, -10};
    const pid_t tid = static_cast<pid_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[level + 2]);
}

void QtPlatform::Sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t QtPlatform::TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void QtPlatform::RunInWindowThread(const std::function<void()>& fn) {
    if (InWindowThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(&m_receiver, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void QtPlatform::ProcessPendingSends() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int QtPlatform::Rand() {
    // The C runtime's generator: 0 .. 32767 whatever RAND_MAX is here.
    std::uint32_t s = m_seed.load();
    s = s * 214013u + 2531011u;
    m_seed.store(s);
    return static_cast<int>((s >> 16) & 0x7fffu);
}

void QtPlatform::SeedRand(unsigned seed) { m_seed.store(seed); }

SystemTime QtPlatform::Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    SystemTime st;
    st.year = tm.tm_year + 1900;
    st.month = tm.tm_mon + 1;
    st.dayOfWeek = tm.tm_wday;
    st.day = tm.tm_mday;
    st.hour = tm.tm_hour;
    st.minute = tm.tm_min;
    st.second = tm.tm_sec;
    st.milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return st;
}

}  // namespace zelk
