// The surface-file reader at load: accepted files, skipped lines and every numbered
// condition with its delete-the-file question.
#include "platform/TextFile.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace {

using namespace surftest;

std::string Row(double lu, double w1, double w2) {
    return Real12(lu) + " " + Real12(w1) + " " + Real12(w2) + "\n";
}

std::string Head(const std::string& data, const std::string& header) {
    return "Data: " + data + "\nMethod: Surface T\n\nW history\n" + header + "\n";
}

std::string Header2() { return FitRight12("Lu") + " " + FitRight12("C_X") + " " + FitRight12("C_Y"); }

TEST(SurfaceFile, AcceptedFileFillsTheSurfaceInFileOrder) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    WriteText(data + ".SuT.out",
              Head(data, Header2()) + Row(0.5, 1.5, 0.5) + Row(0.25, 1.0, 1.0) + Row(2.0, 0.5, 1.5));
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    const Matrix& s = f.doc.surf.mSurface;
    ASSERT_EQ(s.Rows(), 3);
    ASSERT_EQ(s.Cols(), 4);
    EXPECT_DOUBLE_EQ(s(0, 0), 0.5);
    EXPECT_DOUBLE_EQ(s(1, 1), 1.0);
    EXPECT_DOUBLE_EQ(s(2, 2), 1.5);
    EXPECT_DOUBLE_EQ(s(2, 3), 255.0);  // the colour column: the largest loss tops the log scale
    EXPECT_EQ(f.doc.surf.bSurfaceZeroLu, 0);
    EXPECT_EQ(f.doc.surf.sLuScale, "Log(Lu)");
    EXPECT_DOUBLE_EQ(f.doc.surf.dMinLu, 0.25);
    EXPECT_DOUBLE_EQ(f.doc.surf.dMaxLu, 2.0);
    ASSERT_EQ(f.doc.surf.mMinLuW.Rows(), 2);
    EXPECT_DOUBLE_EQ(f.doc.surf.mMinLuW(0, 0), 1.0);
    EXPECT_DOUBLE_EQ(f.doc.surf.mMaxLuW(0, 0), 0.5);
    EXPECT_TRUE(f.pf.boxes.empty());
}

TEST(SurfaceFile, NonFiniteLinesAreSkippedAndZeroLossIsNoted) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    WriteText(data + ".SuT.out", Head(data, Header2()) + "  1.#INF0000   1.50000000   0.50000000\n" +
                                     Row(0.5, 1.4, 0.6) + "         inf   1.30000000   0.70000000\n" +
                                     "        -nan   1.20000000   0.80000000\n" +
                                     " -1.#IND0000   1.10000000   0.90000000\n" +
                                     "         nan   1.00000000   1.00000000\n" +
                                     "        -inf   0.90000000   1.10000000\n" + Row(0.0, 0.8, 1.2));
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    const Matrix& s = f.doc.surf.mSurface;
    ASSERT_EQ(s.Rows(), 2);
    EXPECT_DOUBLE_EQ(s(0, 1), 1.4);
    EXPECT_DOUBLE_EQ(s(1, 1), 0.8);
    EXPECT_EQ(f.doc.surf.bSurfaceZeroLu, 1);
}

TEST(SurfaceFile, TableFollowedByOneMoreLineIsAccepted) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    WriteText(data + ".SuT.out", Head(data, Header2()) + Row(0.5, 1.0, 1.0) + "\nanything\n");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 1);
}

TEST(SurfaceFile, AbsentOrLockedFileIsIgnored) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    WriteText(data + ".SuT.out", "not a surface file\n");
    TextWriter holder;  // another process writing it
    ASSERT_TRUE(holder.Open(data + ".SuT.out", TextWriter::Mode::AppendExisting));
    ASSERT_TRUE(f.doc.OnOpenDocument(data)) << f.pf.LastBox();
    EXPECT_TRUE(f.doc.surf.sSurfaceFile.empty());
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 1999);  // the bare grid
    EXPECT_TRUE(f.pf.boxes.empty());
}

TEST(SurfaceFile, EveryConditionAsksToDeleteOnlyThatFileAndFailsTheLoad) {
    struct Case {
        int condition;
        std::string body;  // after "Data:" and "Method:"
    };
    const std::string h = Header2();
    const std::vector<Case> cases = {
        {1, ""},
        {1, "\nW HISTORY\n" + h + "\n" + Row(1, 1, 1)},
        {2, "\nW history\n" + FitRight12("Lu") + " " + FitRight12("C_X") + "\n" + Row(1, 1, 1)},
        {2, "\nW history\n"},
        {3, "\nW history\n" + FitRight12("Loss") + " " + FitRight12("C_X") + " " + FitRight12("C_Y") +
                "\n" + Row(1, 1, 1)},
        {4, "\nW history\n" + FitRight12("Lu") + " " + FitRight12("C_Y") + " " + FitRight12("C_X") +
                "\n" + Row(1, 1, 1)},
        {5, "\nW history\n" + h + "\n" + Row(1, 1, 1) + "  1.00000000   1.00000000\n"},
        {6, "\nW history\n" + h + "\n" + Row(1, 1, 1) + "\nfirst\nsecond\n"},
        {7, "\nW history\n" + h + "\n"},
        {7, "\nW history\n" + h + "\n" + "         inf   1.00000000   1.00000000\n"},
    };
    for (const Case& c : cases) {
        for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::Ok}) {
            Fixture f;
            const std::string data = f.Data(kTwoC);
            const std::string path = data + ".SuT.out";
            WriteText(path, "Data: " + data + "\nMethod: Surface T\n" + c.body);
            WriteText(data + ".DSSuT.out", "kept\n");
            f.pf.answers.push_back(answer);
            EXPECT_FALSE(f.doc.OnOpenDocument(data)) << c.condition;
            ASSERT_FALSE(f.pf.boxes.empty());
            EXPECT_EQ(f.pf.LastBox(),
                      Format("Invalid surface file (%d) ", c.condition) + path + ". Delete the file?")
                << c.body;
            EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
            EXPECT_EQ(f.pf.boxes.back().buttons, MsgButtons::OkCancel);
            EXPECT_EQ(f.doc.bNoData, 1);
            EXPECT_EQ(f.doc.data.iNumVar, 0);
            EXPECT_EQ(f.doc.surf.mSurface.Rows(), 0);
            EXPECT_EQ(Exists(path), answer == MsgAnswer::Cancel) << c.condition;
            EXPECT_TRUE(Exists(data));
            EXPECT_TRUE(Exists(data + ".DSSuT.out"));
        }
    }
}

TEST(SurfaceFile, LongVariableNamesAreComparedCutToTwelveCharacters) {
    Fixture f;
    f.doc.opt.dSurfaceByW2Vars = 0.5;
    const std::string data =
        f.Data("C_LONGNAME_FIRST\tC_LONGNAME_SECOND\n1\t5\n2\t3\n4\t8\n7\t1\n3\t3\n");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.Scan();
    auto lines = ReadLines(data + ".SuT.out");
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[4], FitRight12("Lu") + " C_LONGNAME_F C_LONGNAME_S");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 3);
    EXPECT_FALSE(f.doc.surf.sSurfaceFile.empty());
}

}  // namespace
}  // namespace zelk
