// The checks of the result files against each other: every file of a method's set needs
// the W history, and the histories agree in their number of rows.
#include "results/ResultReaderTestUtil.h"

namespace zelk {
namespace {

using namespace restest;

struct CrossCase {
    int check;
    // Files present, as "method:kind:rows" (kind W, G, P, CovW, Cov).
    std::vector<std::string> files;
    std::string method;  // the set offered for deletion
    // The message before "\nDelete the following files?\n"; "@" stands for the data path.
    std::string message;
};

void WriteFile(const std::string& data, const std::string& what) {
    const size_t a = what.find(':'), b = what.rfind(':');
    const std::string method = what.substr(0, a);
    const std::string kind = what.substr(a + 1, b - a - 1);
    const int rows = std::stoi(what.substr(b + 1));
    const std::string pre = data + "." + method;
    if (kind == "W") WriteText(pre + ".Whist.out", WhistText(data, rows));
    if (kind == "G") WriteText(pre + ".Ghist.out", GhistText(data, rows));
    if (kind == "P") WriteText(pre + ".Phist.out", PhistText(data, rows));
    if (kind == "CovW") WriteText(pre + ".CovW.out", CovWText(data));
    if (kind == "Cov") WriteText(pre + ".Cov.out", CovText(data));
}

std::string Expand(const std::string& text, const std::string& data) {
    std::string out;
    for (char ch : text) out += ch == '@' ? data : std::string(1, ch);
    return out;
}

class CrossFileChecks : public ::testing::TestWithParam<CrossCase> {};

TEST_P(CrossFileChecks, FirstFailingCheckAsksToDeleteItsSet) {
    const CrossCase c = GetParam();
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/set.dat";
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    SetVariables(doc, data, {"CX", "OY"});
    for (const auto& f : c.files) WriteFile(data, f);
    const std::string other = c.method == "NRT" ? "SDT" : "NRT";
    std::vector<std::string> otherFiles;
    for (const auto& f : SetPaths(data, other))
        if (Exists(f)) otherFiles.push_back(f);

    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text,
              Expand(c.message, data) + "\nDelete the following files?\n" + SixPaths(data, c.method));
    EXPECT_EQ(pf.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(pf.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(doc.bNoData, 1);
    // OK deleted the set of the method named, and only that set.
    for (const auto& f : SetPaths(data, c.method)) EXPECT_FALSE(Exists(f)) << f;
    for (const auto& f : otherFiles) EXPECT_TRUE(Exists(f)) << f;
}

const char* const kNoW = " does not have a matching W history file.";

std::vector<CrossCase> AllChecks() {
    return {
        {1, {"SDT:G:2"}, "SDT", "@.SDT.Ghist.out" + std::string(kNoW)},
        {2, {"SDT:W:2"}, "SDT", "@.SDT.Whist.out does not have a matching Gradient(v) history file."},
        {3, {"SDT:W:3", "SDT:G:2"}, "SDT",
         "@.SDT.Whist.out and @.SDT.Ghist.out do not have the same number of records (3!=2)."},
        {4, {"NRT:G:2"}, "NRT", "@.NRT.Ghist.out" + std::string(kNoW)},
        {5, {"NRT:W:2"}, "NRT", "@.NRT.Whist.out does not have a matching Gradient(v) history file."},
        {6, {"NRT:W:2", "NRT:G:5"}, "NRT",
         "@.NRT.Whist.out and @.NRT.Ghist.out do not have the same number of records (2!=5)."},
        {7, {"SDT:P:2"}, "SDT", "@.SDT.Phist.out" + std::string(kNoW)},
        {8, {"SDT:W:2", "SDT:G:2"}, "SDT", "@.SDT.Whist.out does not have a matching PreSet(w) history file."},
        {9, {"SDT:W:2", "SDT:G:2", "SDT:P:4"}, "SDT",
         "@.SDT.Whist.out and @.SDT.Phist.out do not have the same number of records (2!=4)."},
        {10, {"NRT:P:2"}, "NRT", "@.NRT.Phist.out" + std::string(kNoW)},
        {11, {"NRT:W:2", "NRT:G:2"}, "NRT", "@.NRT.Whist.out does not have a matching PreSet(w) history file."},
        {12, {"NRT:W:3", "NRT:G:3", "NRT:P:1"}, "NRT",
         "@.NRT.Whist.out and @.NRT.Phist.out do not have the same number of records (3!=1)."},
        {13, {"SDT:CovW:0"}, "SDT", "@.SDT.CovW.out" + std::string(kNoW)},
        {14, {"SDT:W:2", "SDT:G:2", "SDT:P:2"}, "SDT", "@.SDT.Whist.out does not have a matching Cov(w) file."},
        {15, {"NRT:CovW:0"}, "NRT", "@.NRT.CovW.out" + std::string(kNoW)},
        {16, {"NRT:W:2", "NRT:G:2", "NRT:P:2"}, "NRT", "@.NRT.Whist.out does not have a matching Cov(w) file."},
        {17, {"SDT:Cov:0"}, "SDT", "@.SDT.Cov.out" + std::string(kNoW)},
        {18, {"SDT:W:2", "SDT:G:2", "SDT:P:2", "SDT:CovW:0"}, "SDT",
         "@.SDT.Whist.out does not have a matching Cov(v) file."},
        {19, {"NRT:Cov:0"}, "NRT", "@.NRT.Cov.out" + std::string(kNoW)},
        {20, {"NRT:W:2", "NRT:G:2", "NRT:P:2", "NRT:CovW:0"}, "NRT",
         "@.NRT.Whist.out does not have a matching Cov(v) file."},
        // Order: an SDT check of a group comes before the NRT check of the same group ...
        {2, {"NRT:G:2", "SDT:W:2"}, "SDT", "@.SDT.Whist.out does not have a matching Gradient(v) history file."},
        // ... and the Gradient(v) group of the NRT set before the PreSet(w) group of SDT.
        {4, {"NRT:G:2", "SDT:P:2"}, "NRT", "@.NRT.Ghist.out" + std::string(kNoW)},
        // A complete NRT set next to a lone SDT Cov(v) file.
        {17, {"NRT:W:2", "NRT:G:2", "NRT:P:2", "NRT:CovW:0", "NRT:Cov:0", "SDT:Cov:0"}, "SDT",
         "@.SDT.Cov.out" + std::string(kNoW)},
    };
}

std::string CheckName(const ::testing::TestParamInfo<CrossCase>& info) {
    return "Check" + std::to_string(info.param.check) + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(EveryCheck, CrossFileChecks, ::testing::ValuesIn(AllChecks()), CheckName);

TEST(CrossFileChecks, CompleteSetsPass) {
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/set.dat";
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    SetVariables(doc, data, {"CX", "OY"});
    WriteValidSet(data, "NRT", 4);
    WriteValidSet(data, "SDT", 1);
    EXPECT_TRUE(doc.LoadResultFiles());
    EXPECT_TRUE(pf.boxes.empty());
}

}  // namespace
}  // namespace zelk
