// The progress of a headless run on stderr. On a terminal one line is redrawn in place;
// anywhere else (a log file, a batch or cluster job) a line is written when the run has
// moved on to its next iteration, and never more than one a second, so that a long run
// leaves a short log.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace zelk {

// The width of the terminal on file descriptor fd, or 0 when fd is not a terminal.
int TerminalColumns(int fd);

class ProgressLine {
public:
    // columns: the terminal's width (0 when the stream is not a terminal).
    ProgressLine(std::ostream& out, int columns);

    bool OnTerminal() const { return m_columns > 0; }
    void SetColumns(int columns) { m_columns = columns; }
    // `text` describes the run now; `step` changes from one iteration to the next;
    // `now` is a time in seconds.
    void Update(const std::string& text, long long step, double now);
    // The run ended: a line left on the terminal is cleared, and the next run's first
    // report is written at once.
    void End();
    // Other text is about to go to the same stream: a line left on the terminal is
    // cleared first (the next update draws it again below that text).
    void Break();

private:
    std::ostream& m_out;
    int m_columns;
    std::size_t m_shown = 0;  // characters of the line now on the terminal
    std::string m_lastText;
    bool m_any = false;       // a line was written for this run
    long long m_lastStep = 0;
    double m_lastTime = 0;
};

}  // namespace zelk
