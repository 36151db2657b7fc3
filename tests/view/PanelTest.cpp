// The text panels of a loaded data set, on the recording canvas (7 pixels a character):
// every line at its place before, during and after a Newton-Raphson run of the flower data
// set, the table header, the progress-only draw, the full-or-partial decision, the batch
// trigger, the Hessian's colour and the type-count failure.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>

#include "app/Document.h"
#include "support/FakePlatform.h"
#include "support/RecordingCanvas.h"
#include "support/TempFiles.h"
#include "view/View.h"

namespace zelk {
namespace {

constexpr Rgb kYellow{255, 255, 0};

struct Expect {
    int x, y;
    std::string pattern;  // a regular expression for the whole line; @ stands for the data path
};

// The flower data set opened from a fresh copy, with steps sent by hand.
struct Flower {
    FakePlatform pf;
    CZELKDoc doc{pf, false};
    CZELKView view{doc};
    std::string path;

    explicit Flower(const std::string& commandLine = "zelk") {
        path = testfs::MakeTempDir("zelk_view") + "/flower.dat";
        testfs::WriteText(path, testfs::ReadText(ZELK_SOURCE_DIR "/examples/flower.dat"));
        pf.commandLine = commandLine;
        doc.bManualStepping = 1;
        doc.bOneItemPerStep = 0;
        EXPECT_TRUE(doc.OnOpenDocument(path));
    }
    RecordingCanvas Draw() {
        RecordingCanvas c;
        view.Draw(c);
        return c;
    }
    // Steps the run until it has made `iter` updates and redrawn after the last (or ended).
    void StepTo(int iter) {
        for (int i = 0; i < 100000 && doc.runs.rsNRT.bRunning &&
                        !(doc.nrt.iIter == iter && doc.nrt.phase == NrtPhase::Parameters);
             ++i)
            doc.OnStepMessage(RunMessage::NrtStep);
    }
};

std::string Escaped(const std::string& s) { return std::regex_replace(s, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"); }

// Every expected line is drawn at its place and, with `exact`, nothing else is drawn.
void ExpectLines(const RecordingCanvas& c, const std::vector<Expect>& table, const std::string& dataPath, bool exact) {
    std::map<std::pair<int, int>, std::string> at;
    for (const DrawnText& t : c.texts) at[{t.x, t.y}] = t.text;
    for (const Expect& e : table) {
        const std::string pattern = std::regex_replace(e.pattern, std::regex("@"), Escaped(dataPath));
        auto it = at.find({e.x, e.y});
        ASSERT_NE(it, at.end()) << "nothing at (" << e.x << "," << e.y << "), expected " << pattern;
        EXPECT_TRUE(std::regex_match(it->second, std::regex(pattern))) << it->second << "\n  !~ " << pattern;
    }
    if (exact) {
        EXPECT_EQ(at.size(), table.size());
    }
}

const std::vector<Expect> kOptionBlock = {
    {660, 10, R"(General options: iThreadPriority12345=3, dMultAxes=1\.00000000,)"},
    {660, 30, R"(dMaxRandRestartDist=0\.50000000, dMinValidW=0\.00000100, dPenaltyPow=0\.66666667)"},
    {660, 50, R"(Newton-Raphson options: iMaxIter=100, dConvCrit=0\.00000100)"},
    {660, 70, R"(Real time control options: bHighRes=TRUE, qx=30\.0, qy=0\.0, qz=225\.0)"},
    {660, 90, R"(d3dscale=850\.0, iOriginX=1150\.0, iOriginY=-125\.0, iSleepMilli=25)"},
};

// The option block and the left column down to line 14; `files` is what precedes each
// result file's suffix (empty before any run).
std::vector<Expect> FixedLeft(const std::string& files, const std::string& restartTail) {
    const std::string suffix = files.empty() ? "" : "\\.out";
    std::vector<Expect> t = kOptionBlock;
    t.push_back({660, 110, "Elapsed time: "});
    t.push_back({10, 10, "Input dataset: @ \\(N=18\\)"});
    t.push_back({10, 30, "Surface file:  \\(0 records\\)"});
    const char* const kinds[] = {"PreSet\\(w\\) history", "W history", "Gradient\\(v\\) history", "Cov\\(w\\)", "Cov\\(v\\)"};
    const char* const codes[] = {"Phist", "Whist", "Ghist", "CovW", "Cov"};
    for (int f = 0; f < 5; ++f)
        t.push_back({10, 50 + 20 * f,
                     std::string("Newton-Raphson ") + kinds[f] + " file: " + (files.empty() ? "" : files + codes[f]) + suffix});
    t.push_back({10, 170, R"(Type C variables \[2\] Name \(Eq\.Fact\.\): C_HEIGHT \(180\.00000000\) C_DISTANCE \(50\.00000000\))"});
    t.push_back({10, 190, R"(Type O variables \[2\] Name \(Eq\.Fact\.\): O_SOIL \(2\.00000000\) O_PREFER \(17\.00000000\))"});
    t.push_back({10, 210, R"(Type N variables \[3\] Name \(Eq\.Fact\.\): N_WINTERS \(1\.00000000\) N_SHADOW \(1\.00000000\) N_COLOR \(4\.00000000\))"});
    t.push_back({10, 230, R"(Type A variables \[1\] Name \(Eq\.Fact\.\): A_TUBERS \(1\.00000000\))"});
    t.push_back({10, 250, "Random restart: 0 of 0 \\(best=0\\), Newton-Raphson current iteration:" + restartTail});
    t.push_back({10, 270, "Last random move:"});
    t.push_back({10, 290, "Last best w:"});  // no brackets before a best point exists
    return t;
}

#define NUM "-?[0-9]+\\.[0-9]{8}"
#define G6 "-?[0-9]+\\.[0-9]{6}"
#define W8 "<" NUM "(," NUM "){7}>"

TEST(Panels, FlowerBeforeDuringAndAfterARun) {
    Flower f;
    // Loaded: the option block, the files (none yet), the variables and empty run lines.
    ExpectLines(f.Draw(), FixedLeft("", ""), f.path, true);

    // During the run, after its third update: the current-row table, the run block and the
    // v column with the Hessian.
    f.doc.OnAnalyzeNrt();
    f.StepTo(3);
    f.doc.nrt.dPctDone = 41.25;
    const RecordingCanvas during = f.Draw();
    std::vector<Expect> t = FixedLeft("@\\.NRT\\.", " 41\\.2%");
    const std::string tableName = "Current w (iteration 2 of 100)";
    const int x0 = 10 + 7 * static_cast<int>(tableName.size() + 2);  // the name's width and two blanks
    const std::vector<Expect> run = {
        {10, 330, R"(Current w \(iteration 2 of 100\))"},
        {x0, 350, " *" NUM "( +" NUM "){8}"},
        {10, 390, "Exploring \\(Iteration 2 of 100\\): Lu=" NUM},
        {10, 410, "Avg\\.W\\.: C=" NUM ", O=" NUM ", N=" NUM ", A=" NUM},
        {10, 430, R"(dEqFactMult: C=1\.00000000, O=1\.00000000, N=1\.00000000, A=1\.00000000 \(Current\))"},
        {10, 450, R"(dEqFactMult: C=1\.00000000, O=1\.00000000, N=1\.00000000, A=1\.00000000 \(Last\))"},
        {10, 470, R"(dEqFactMult: C=1\.00000000, O=1\.00000000, N=1\.00000000, A=1\.00000000 \(Original\))"},
        {10, 510, "w=" W8},
        {10, 550, "Gradient\\(w\\)=<" G6 "(," G6 "){7}>"},
        {10, 570, "Current w \\(iteration 2 of 100\\): Lu=" NUM},
        {10, 590, "w=" W8},
        {10, 610, "Gradient\\(w\\)=<" G6 "(," G6 "){7}>"},
    };
    t.insert(t.end(), run.begin(), run.end());
    ExpectLines(during, t, f.path, false);

    // The v column: one x, 75p + 85 or right of the longest left line beside it; v, its
    // gradient, the 7 x 7 Hessian (black: positive definite here) and its eigenvalues.
    std::vector<DrawnText> v;
    int leftEnd = 0;
    for (const DrawnText& d : during.texts) {
        if (d.x >= 685 && d.y >= 510) v.push_back(d);
        if (d.x == 10 && d.y >= 510) leftEnd = std::max(leftEnd, 10 + 7 * static_cast<int>(d.text.size()));
    }
    ASSERT_EQ(v.size(), 11u);
    const std::vector<std::string> vPatterns = {"v=<" NUM "(," NUM "){6}>", "Gradient\\(v\\)=<" G6 "(," G6 "){6}>",
                                                "Hessian\\(v\\)=", "<" G6 "(," G6 "){6}"};
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].x, std::max(685, leftEnd + 20));
        EXPECT_EQ(v[i].y, i == 0 ? 510 : 530 + 20 * static_cast<int>(i)) << v[i].text;
        const std::string p = i < 4 ? vPatterns[i] : i < 9 ? " " G6 "(," G6 "){6}" : i == 9 ? " " G6 "(," G6 "){6}>"
                                                                                             : "Eigenvalues: \\{" G6 "(," G6 "){6}\\}";
        EXPECT_TRUE(std::regex_match(v[i].text, std::regex(p))) << v[i].text;
        EXPECT_EQ(v[i].color, kBlack);
    }
    // The header: the column names cut or padded to exactly 12, each ending where its column
    // of numbers ends.
    std::vector<DrawnText> header;
    for (const DrawnText& d : during.texts)
        if (d.y == 330 && d.x > 10) header.push_back(d);
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(header[0].text, "          Lu");
    EXPECT_EQ(header[2].text, "  C_DISTANCE");
    for (size_t c = 0; c < header.size(); ++c) {
        EXPECT_TRUE(header[c].rightAligned);
        EXPECT_EQ(header[c].text.size(), 12u);
        EXPECT_EQ(header[c].x, x0 + 7 * static_cast<int>(13 * c + 12)) << header[c].text;
    }
    // The status bar reads the same counters.
    EXPECT_EQ(RunProgressText(f.doc).rfind("NRT iteration 2 of 100: 41.2% of the iteration", 0), 0u)
        << RunProgressText(f.doc);

    // After the run: its files, no percentage, no elapsed time; the table and run block stay.
    f.StepTo(1000);
    ASSERT_FALSE(f.doc.runs.rsNRT.bRunning);
    std::vector<Expect> after = FixedLeft("@\\.NRT\\.", "");
    after.push_back({10, 330, R"(Current w \(iteration [0-9]+ of 100\))"});
    after.push_back({10, 390, "Exploring \\(Iteration [0-9]+ of 100\\): Lu=" NUM});
    ExpectLines(f.Draw(), after, f.path, false);
}

TEST(Panels, BestWeightsAndLastMoveInBrackets) {
    Flower f;
    f.doc.nrt.mBestW = Matrix(2, 1, 1.5);
    f.doc.nrt.mPerturb = Matrix(2, 1, -0.25);
    const RecordingCanvas c = f.Draw();
    ExpectLines(c, {{10, 270, R"(Last random move: <-0\.25000000,-0\.25000000>)"}, {10, 290, R"(Last best w: <1\.50000000,1\.50000000>)"}},
                f.path, false);
}

// The draw is partial (draws only what changed) only while every condition holds; any one
// broken makes it full, which clears the picture first.
TEST(Panels, FullOrPartialDecision) {
    struct Case {
        const char* name;
        void (*change)(CZELKDoc&, FakePlatform&);
        bool full;
    };
    const Case cases[] = {
        {"all conditions hold", [](CZELKDoc&, FakePlatform&) {}, false},
        {"no run", [](CZELKDoc& d, FakePlatform&) { d.runs.rsNRT.bRunning = 0; }, true},
        {"iteration 1", [](CZELKDoc& d, FakePlatform&) { d.nrt.iIter = 1; }, true},
        {"five weights", [](CZELKDoc& d, FakePlatform&) { d.track.mDispW = Matrix(5, 1, 0.6); }, true},
        {"two variables", [](CZELKDoc& d, FakePlatform&) { d.data.iNumVar = 2; }, true},
        {"bRedrawAll", [](CZELKDoc& d, FakePlatform&) { d.disp.bRedrawAll = 1; }, true},
        {"bAlwaysUpdateAll", [](CZELKDoc& d, FakePlatform&) { d.opt.bAlwaysUpdateAll = 1; }, true},
        {"in the background", [](CZELKDoc&, FakePlatform& pf) { pf.foreground = false; }, true},
        {"in front for 2 s", [](CZELKDoc& d, FakePlatform&) { d.disp.tForegroundSince.second = 58; }, true},
        {"another day", [](CZELKDoc& d, FakePlatform&) { d.disp.tForegroundSince.day = 2; }, true},
        {"just came to the front", [](CZELKDoc& d, FakePlatform&) { d.disp.bWasForeground = 0; }, true},
    };
    for (const Case& k : cases) {
        Flower f;
        CZELKDoc& d = f.doc;
        f.Draw();  // a full draw first
        d.runs.rsNRT.bRunning = 1;
        d.nrt.iIter = 2;
        d.track.mDispW = Matrix(3, 1, 1.0);
        f.pf.now = SystemTime{2024, 5, 3, 1, 12, 1, 0, 0};  // 12:01:00
        d.disp.bWasForeground = 1;
        d.disp.tForegroundSince = SystemTime{2024, 5, 3, 1, 12, 0, 57, 0};  // 3 s before
        k.change(d, f.pf);
        const RecordingCanvas c = f.Draw();
        const bool cleared = !c.filled.empty() && c.filled[0].left == 0 && c.filled[0].top == 0 &&
                             c.filled[0].right == 1600 && c.filled[0].bottom == 1000;
        EXPECT_EQ(cleared, k.full) << k.name;
        EXPECT_EQ(d.disp.bRedrawAll, 0) << k.name;
        EXPECT_EQ(d.disp.bWasForeground, f.pf.foreground ? 1 : 0) << k.name;
        d.runs.rsNRT.bRunning = 0;
    }

    // A resize makes the next draws full: coming to the front is noted at the draw.
    Flower f;
    f.doc.runs.rsNRT.bRunning = 1;
    f.doc.nrt.iIter = 2;
    f.doc.track.mDispW = Matrix(3, 1, 1.0);
    f.pf.now = SystemTime{2024, 5, 3, 1, 12, 1, 0, 0};
    f.view.OnSize();
    EXPECT_EQ(f.Draw().filled[0].right, 1600);
    f.pf.now.second = 3;
    const RecordingCanvas partial = f.Draw();
    // Nothing moved: of the panels, only the lines that the wipes of (0,10)-(300,150) and of
    // line 13's strip cut into are drawn again, each on a wiped box (the map, over them,
    // keeps its own texts).
    std::vector<DrawnText> panel;
    for (const DrawnText& t : partial.texts)
        if (t.x == 10) panel.push_back(t);  // the left column
    EXPECT_EQ(panel.size(), 8u);
    for (const DrawnText& t : panel) EXPECT_TRUE(t.y <= 130 || t.y == 270) << t.text;
    f.doc.runs.rsNRT.bRunning = 0;
}

TEST(Panels, ProgressOnlyDrawTouchesOnlyItsStrip) {
    Flower f;
    f.doc.OnAnalyzeNrt();
    f.StepTo(1);
    f.Draw();
    f.doc.nrt.dPctDone = 7.5;
    f.doc.disp.bProgressOnly = 1;
    const RecordingCanvas c = f.Draw();
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].x, 10);
    EXPECT_EQ(c.texts[0].y, 250);
    EXPECT_EQ(c.texts[0].text, "Random restart: 0 of 0 (best=0), Newton-Raphson current iteration: 7.5%");
    ASSERT_FALSE(c.filled.empty());
    EXPECT_EQ(c.filled[0].left, 350);
    EXPECT_EQ(c.filled[0].right, 475);
    for (const Rect& r : c.filled) {
        EXPECT_GE(r.top, 250);
        EXPECT_LE(r.bottom, 270);
    }
    f.doc.disp.bProgressOnly = 0;
    f.doc.runs.rsNRT.bRunning = 0;
}

TEST(Panels, RunAsksForProgressOnlyDrawsInsideAnIteration) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.bOneItemPerStep = 1;
    const std::string path = testfs::MakeTempDir("zelk_view") + "/sixty.dat";
    std::string text = "C_A\tC_B\tO_C\n";
    for (int r = 0; r < 60; ++r)
        text += std::to_string(r * 37 % 101) + "\t" + std::to_string(r * 53 % 97) + "\t" + std::to_string(r % 5) + "\n";
    testfs::WriteText(path, text);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    std::vector<int> progressOnly;
    pf.onRedraw = [&] { progressOnly.push_back(doc.disp.bProgressOnly); };
    doc.OnAnalyzeNrt();
    for (int i = 0; i < 100000 && doc.nrt.iIter == 0; ++i) doc.OnStepMessage(RunMessage::NrtStep);
    // Progress-only draws while the triples are counted; whole ones at the end of the pass
    // and after the update; the flag never outlives its draw.
    ASSERT_GE(progressOnly.size(), 4u);
    EXPECT_EQ(progressOnly.front(), 1);
    EXPECT_EQ(progressOnly.back(), 0);
    EXPECT_EQ(doc.disp.bProgressOnly, 0);
    doc.runs.rsNRT.bRunning = 0;
}

TEST(Panels, LongPathsGiveUpTheirMiddleBeforeTheOptionBlock) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    CZELKView view(doc);
    doc.bNoData = 0;
    doc.data.sDataPath = "/data/" + std::string(120, 'd') + "/flower.dat";
    doc.data.iNumRec = 18;
    RecordingCanvas c;
    view.Draw(c);
    const DrawnText* t = c.FindText("Input dataset: ..." + std::string(55, 'd') + "/flower.dat (N=18)");
    ASSERT_NE(t, nullptr);
    EXPECT_LE(10 + 7 * static_cast<int>(t->text.size()), 650);  // the option block starts at 660
}

TEST(Panels, BatchTriggerStartsTheRunAndDrawsNothing) {
    Flower f("zelk flower.dat -nrt");
    ASSERT_EQ(f.doc.cmd.iBatchNRT, 1);
    const RecordingCanvas first = f.Draw();
    EXPECT_TRUE(first.texts.empty());
    EXPECT_TRUE(first.filled.empty());
    EXPECT_TRUE(f.doc.runs.rsNRT.bRunning);
    // With its run active the next repaint draws.
    EXPECT_NE(f.Draw().FindText("Random restart: 0 of 0 (best=0), Newton-Raphson current iteration: 0.0%"), nullptr);
    f.doc.runs.rsNRT.bRunning = 0;
}

TEST(Panels, HessianColourFollowsItsSmallestEigenvalue) {
    struct Case {
        double lo, hi;
        int strict;
        bool yellow;
    };
    const Case cases[] = {{-1, 2, 0, true}, {1, 2, 0, false}, {0, 0, 0, false}, {-1e-12, 1e-12, 0, false},
                          {-1e-12, 1e-12, 1, true}, {-1e-12, 0.5, 0, true}};
    for (const Case& k : cases) {
        Flower f;
        RunTrack& t = f.doc.track;
        t.mDispW = Matrix(8, 1, 1.0);
        t.mDispV = Matrix(8, 1, 1.0);
        t.mDispHess = Matrix(2, 2, 0.5);
        t.mDispEigHess = Matrix(2, 1, k.lo);
        t.mDispEigHess.Set(1, 0, k.hi);
        t.sMethodTitle = "Newton-Raphson T";
        f.doc.disp.bHessianStrict = k.strict;
        const RecordingCanvas c = f.Draw();
        for (const char* text : {"Hessian(v)=", "<0.500000,0.500000", " 0.500000,0.500000>"}) {
            const DrawnText* d = c.FindText(text);
            ASSERT_NE(d, nullptr) << text;
            EXPECT_EQ(d->color, k.yellow ? kYellow : kBlack) << text << " lo=" << k.lo << " strict=" << k.strict;
        }
        // The replay has no Hessian to show.
        t.sMethodTitle = "Newton-Raphson Replay";
        f.doc.disp.bRedrawAll = 1;
        EXPECT_EQ(f.Draw().FindText("Hessian(v)="), nullptr);
    }
}

TEST(Panels, TypeCountsThatDoNotAddUpStopTheDrawAndEmptyTheDocument) {
    Flower f;
    f.doc.track.mDispW = Matrix(9, 1, 1.0);  // one weight more than the 8 variables
    RecordingCanvas c;
    f.pf.onRedraw = [&] { f.view.Draw(c); };
    f.doc.RedrawAllViews();
    EXPECT_TRUE(f.pf.HasBox("Fatal error 2008.08.22.1"));
    EXPECT_EQ(f.doc.bNoData, 1);
    EXPECT_NE(c.FindText("Exploring (Iteration -1 of 100): Lu=0.00000000"), nullptr);
    EXPECT_EQ(c.FindText("Avg.W.: C=1.00000000, O=1.00000000, N=1.00000000, A=1.00000000"), nullptr);
    EXPECT_NE(c.FindText("No dataset loaded."), nullptr);  // the emptied document's redraw
}

}  // namespace
}  // namespace zelk
