// Helpers of the surface-map tests: a data set of 2, 3 or 4 variables opened with a surface
// file written by hand, and a recording canvas that also keeps pen widths.
#pragma once

#include <vector>

#include "support/RecordingCanvas.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace maptest {

using Row = std::vector<double>;  // Lu, w1 .. wK

inline const char* DataOf(int K) { return K == 2 ? surftest::kTwoC : K == 3 ? surftest::kThree : surftest::kFour; }
inline StringList NamesOf(int K) {
    StringList all{"C_X", "C_Y", "O_Z", "A_Q"};
    return StringList(all.begin(), all.begin() + K);
}

// A surface over the simplex of K weights: a few points with a loss that grows with w1
// and w2.
inline std::vector<Row> SmallSurface(int K) {
    std::vector<Row> rows;
    if (K == 2) {
        for (int i = 1; i < 20; ++i) rows.push_back({1.0 + i, 0.1 * i, 2 - 0.1 * i});
        return rows;
    }
    for (double a = 0.25; a < K; a += 0.5)
        for (double b = 0.25; a + b < K; b += 0.5) {
            if (K == 3) {
                rows.push_back({1 + a + 2 * b, a, b, 3 - a - b});
                continue;
            }
            for (double c = 0.25; a + b + c < 4; c += 0.5) rows.push_back({1 + a + 2 * b + c, a, b, c, 4 - a - b - c});
        }
    return rows;
}

// Opens a data set of K variables with a surface file of the given rows.
struct MapFixture : surftest::Fixture {
    explicit MapFixture(int K, const std::vector<Row>& rows) {
        const std::string data = Data(DataOf(K));
        std::string text = "Data: " + data + "\nMethod: Surface T\n\nW history\n" + FitRight12("Lu");
        for (const auto& n : NamesOf(K)) text += " " + FitRight12(n);
        text += "\n";
        for (const Row& r : rows) {
            for (size_t i = 0; i < r.size(); ++i) text += (i ? " " : "") + Real12(r[i]);
            text += "\n";
        }
        surftest::WriteText(data + ".SuT.out", text);
        EXPECT_TRUE(doc.OnOpenDocument(data));
    }
    explicit MapFixture(int k) : MapFixture(k, SmallSurface(k)) {}
    // The run's display copies, as a run publishes them.
    void SetRun(const std::vector<double>& w, const std::vector<double>& gw, const std::vector<double>& gv = {}) {
        doc.track.mDispW = Column(w);
        doc.track.mDispGradW = Column(gw);
        doc.track.mDispGradV = Column(gv);
    }
    static Matrix Column(const std::vector<double>& v) {
        Matrix m(static_cast<int>(v.size()), 1);
        for (size_t i = 0; i < v.size(); ++i) m(static_cast<int>(i), 0) = v[i];
        return v.empty() ? Matrix() : m;
    }
};

struct PenLine {
    DrawnLine line;
    int width;
};

class MapCanvas : public RecordingCanvas {
public:
    std::vector<PenLine> penLines;

    void SetPen(PenStyle, int w, Rgb) override { m_width = w; }
    void LineTo(int x, int y) override {
        RecordingCanvas::LineTo(x, y);
        penLines.push_back({lines.back(), m_width});
    }
    bool HasLine(int x1, int y1, int x2, int y2) const {
        for (const auto& l : lines)
            if (l.x1 == x1 && l.y1 == y1 && l.x2 == x2 && l.y2 == y2) return true;
        return false;
    }

private:
    int m_width = 1;
};

}  // namespace maptest
}  // namespace zelk
