// The headless progress on stderr: redrawn in place on a terminal, one line per
// iteration at most once a second anywhere else.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/qt/ProgressLine.h"

namespace zelk {
namespace {

struct Update {
    std::string text;  // "" ends the run; "|" breaks the line for other output
    long long step;
    double now;
};

std::string Play(int columns, const std::vector<Update>& updates) {
    std::ostringstream out;
    ProgressLine line(out, columns);
    for (const Update& u : updates) {
        if (u.text.empty())
            line.End();
        else if (u.text == "|")
            line.Break();
        else
            line.Update(u.text, u.step, u.now);
    }
    return out.str();
}

TEST(ProgressLine, LogFileOneLinePerIterationAtMostOnceASecond) {
    EXPECT_EQ(Play(0, {{"it 1 a", 1, 0.0}, {"it 1 b", 1, 5.0}, {"it 2", 2, 5.5}, {"it 3", 3, 6.0},
                       {"it 4", 4, 6.5}, {"it 4 b", 4, 9.0}}),
              "it 1 a\nit 2\nit 4\n");
    // A slow run: every iteration, however long it takes; a new run starts at once.
    EXPECT_EQ(Play(0, {{"a", 1, 0}, {"b", 2, 30}, {"c", 3, 60}, {"|", 0, 0}, {"", 0, 0}, {"d", 1, 60.1}}),
              "a\nb\nc\nd\n");
}

TEST(ProgressLine, TerminalRedrawsInPlace) {
    // Shorter text blanks the rest of the old one; the same text is not drawn again.
    EXPECT_EQ(Play(80, {{"abcd", 1, 0}, {"abcd", 1, 0.1}, {"xy", 1, 0.2}}), "\rabcd\rxy  ");
    // Never wider than the terminal, which would wrap.
    EXPECT_EQ(Play(5, {{"abcdefgh", 1, 0}}), "\rabcd");
    // Other output clears the line; the next update draws it again; the end clears it.
    EXPECT_EQ(Play(80, {{"abc", 1, 0}, {"|", 0, 0}, {"abc", 1, 0.1}, {"", 0, 0}, {"|", 0, 0}}),
              "\rabc\r   \r\rabc\r   \r");
}

}  // namespace
}  // namespace zelk
