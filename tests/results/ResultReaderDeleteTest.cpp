// What an invalid result file deletes: on OK the six files of its method's set, nothing
// else; on Cancel (and with no person to ask) nothing at all.
#include "results/ResultIO.h"
#include "results/ResultReaderTestUtil.h"

namespace zelk {
namespace {

using namespace restest;

class ResultDeletion : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        data = dir + "/set.dat";
        WriteText(data, "CX\tOY\n1\t2\n2\t3\n3\t1\n");
        SetVariables(doc, data, {"CX", "OY"});
        WriteValidSet(data, "NRT", 3);
        WriteValidSet(data, "SDT", 3);
        keep = {data, data + ".NRT.Wrep.out", data + ".SDT.Wrep.out", data + ".SuT.out", dir + "/set.Whist.out"};
        for (const auto& k : keep)
            if (k != data) WriteText(k, "kept\n");
    }
    std::vector<std::string> AllSetFiles() const {
        std::vector<std::string> all = SetPaths(data, "NRT");
        for (const auto& f : SetPaths(data, "SDT")) all.push_back(f);
        return all;
    }
    std::string dir, data;
    std::vector<std::string> keep;
    FakePlatform pf;
    CZELKDoc doc{pf, false};
};

TEST_F(ResultDeletion, OkDeletesOnlyTheSetOfTheInvalidSdtFile) {
    WriteText(data + ".SDT.Phist.out", "no table here\n");
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (27) ", 0), 0u);
    for (const auto& f : SetPaths(data, "SDT")) EXPECT_FALSE(Exists(f)) << f;
    for (const auto& f : SetPaths(data, "NRT")) EXPECT_TRUE(Exists(f)) << f;
    for (const auto& k : keep) EXPECT_TRUE(Exists(k)) << k;
}

TEST_F(ResultDeletion, OkDeletesOnlyTheSetOfTheInvalidNrtFile) {
    WriteText(data + ".NRT.Cov.out", "no table here\n");
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (39) ", 0), 0u);
    for (const auto& f : SetPaths(data, "NRT")) EXPECT_FALSE(Exists(f)) << f;
    for (const auto& f : SetPaths(data, "SDT")) EXPECT_TRUE(Exists(f)) << f;
    for (const auto& k : keep) EXPECT_TRUE(Exists(k)) << k;
    // The data set is not loaded; opening it again finds the SDT set alone, which passes.
    EXPECT_EQ(doc.bNoData, 1);
    SetVariables(doc, data, {"CX", "OY"});
    EXPECT_TRUE(doc.LoadResultFiles());
}

TEST_F(ResultDeletion, CancelDeletesNothing) {
    WriteText(data + ".NRT.Whist.out", Head(data));
    pf.answers.push_back(MsgAnswer::Cancel);
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (8) ", 0), 0u);
    EXPECT_EQ(doc.bNoData, 1);
    for (const auto& f : AllSetFiles()) EXPECT_TRUE(Exists(f)) << f;
    for (const auto& k : keep) EXPECT_TRUE(Exists(k)) << k;
}

TEST_F(ResultDeletion, CancelOfACrossFileCheckDeletesNothing) {
    ::unlink((data + ".NRT.Ghist.out").c_str());
    pf.answers.push_back(MsgAnswer::Cancel);
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind(data + ".NRT.Whist.out does not have a matching Gradient(v) history file.", 0), 0u);
    for (const auto& f : SetPaths(data, "NRT"))
        if (f != data + ".NRT.Ghist.out") {
            EXPECT_TRUE(Exists(f)) << f;
        }
}

TEST_F(ResultDeletion, HeadlessRunDeletesNothing) {
    // With no person to answer, the platform takes the safe answer.
    pf.headless = true;
    pf.defaultAnswer = MsgAnswer::Cancel;
    WriteText(data + ".SDT.Whist.out", "damaged\n");
    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].buttons, MsgButtons::OkCancel);
    for (const auto& f : AllSetFiles()) EXPECT_TRUE(Exists(f)) << f;
}

TEST_F(ResultDeletion, DeleteResultFilesLeavesHeldAndAbsentFilesAlone) {
    ::unlink((data + ".NRT.Dist.out").c_str());
    doc.bNoData = 0;
    {
        HeldLock lock(data + ".NRT.CovW.out");
        DeleteResultFiles(data + ".NRT");
        EXPECT_TRUE(Exists(data + ".NRT.CovW.out"));
    }
    EXPECT_TRUE(pf.boxes.empty());
    for (const auto& f : SetPaths(data, "NRT"))
        if (f != data + ".NRT.CovW.out") {
            EXPECT_FALSE(Exists(f)) << f;
        }
    for (const auto& f : SetPaths(data, "SDT")) EXPECT_TRUE(Exists(f)) << f;
    for (const auto& k : keep) EXPECT_TRUE(Exists(k)) << k;
}

}  // namespace
}  // namespace zelk
