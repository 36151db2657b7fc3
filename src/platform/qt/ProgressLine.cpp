#include "platform/qt/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <ostream>

namespace zelk {

int TerminalColumns(int fd) {
    if (::isatty(fd) == 0) return 0;
    struct winsize ws {};
    if (::ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

ProgressLine::ProgressLine(std::ostream& out, int columns) : m_out(out), m_columns(columns) {}

void ProgressLine::Update(const std::string& text, long long step, double now) {
    if (!OnTerminal()) {
        if (m_any && (step == m_lastStep || now - m_lastTime < 1.0)) return;
        m_out << text << "\n" << std::flush;
        m_any = true;
        m_lastStep = step;
        m_lastTime = now;
        return;
    }
    // A line wider than the terminal would wrap, and the carriage return would then
    // redraw only its last part.
    std::string shown = text.substr(0, static_cast<std::size_t>(m_columns > 1 ? m_columns - 1 : 1));
    if (m_shown > 0 && shown == m_lastText) return;
    const std::size_t width = shown.size();
    if (width < m_shown) shown.append(m_shown - width, ' ');
    m_out << "\r" << shown << std::flush;
    m_shown = width;
    m_lastText = text.substr(0, width);
}

void ProgressLine::Break() {
    if (m_shown == 0) return;
    m_out << "\r" << std::string(m_shown, ' ') << "\r" << std::flush;
    m_shown = 0;
    m_lastText.clear();
}

void ProgressLine::End() {
    Break();
    m_any = false;
}

}  // namespace zelk
