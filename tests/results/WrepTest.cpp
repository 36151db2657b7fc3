// The replicate-weight table (Wrep file): its header with "-FWGT", rows appended by
// later runs, a missing file, and many processes appending to one file at once.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "support/NrtTestData.h"
#include "results/NrtFiles.h"

namespace zelk {
namespace {

using namespace nrttest;

using testfs::Lines;

void RunTiny(FakePlatform& pf, CZELKDoc& doc, const std::string& dir, const std::string& weightVar, int fwgt) {
    (void)pf;
    PrepareTiny(doc, dir);
    doc.cmd.sWeightVar = weightVar;
    doc.cmd.bFWGT = fwgt;
    doc.OnAnalyzeNrt();
    StepToEnd(doc);
}

TEST(Wrep, HeaderAndRowsFormat) {
    EXPECT_EQ(WrepHeader({"C_X", "A_VERYLONGNAME1"}),
              "      REPWGT        BCONV           LU          C_X A_VERYLONGNA\n");
    EXPECT_EQ(WrepRow("W_R01", 1, 0.5, {1.25, 0.75}),
              "       W_R01   1.00000000   0.50000000   1.25000000   0.75000000\n");
    EXPECT_EQ(WrepRow("A_NAME_LONGER_THAN_12", 0, 0, {}).substr(0, 13), "A_NAME_LONGE ");
}

TEST(Wrep, FwgtCreatesTheTableAndLaterRunsAppendARow) {
    const std::string dir = MakeTempDir();
    const std::string wrep = dir + "/tiny.dat.NRT.Wrep.out";
    std::string firstWhist;
    {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        RunTiny(pf, doc, dir, "W1", 1);
        // With "-FWGT" the six files are written as well, and the final message follows.
        EXPECT_EQ(pf.LastBox().rfind("Convergence attained. Results files written to\n", 0), 0u);
        EXPECT_EQ(doc.asFilesWritten.size(), 7u);
        EXPECT_EQ(doc.asFilesWritten.back(), wrep);
        firstWhist = ReadAll(dir + "/tiny.dat.NRT.Whist.out");
        const StringList lines = Lines(ReadAll(wrep));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "      REPWGT        BCONV           LU          C_X          O_Y          A_Z");
        const int last = doc.track.mWHist.Rows() - 1;
        EXPECT_EQ(lines[1] + "\n", WrepRow("W1", 1, doc.track.mLuHist.Get(last, 0),
                                           {doc.track.mWHist.Get(last, 0), doc.track.mWHist.Get(last, 1),
                                            doc.track.mWHist.Get(last, 2)}));
    }
    {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        RunTiny(pf, doc, dir, "W2", 0);
        const StringList lines = Lines(ReadAll(wrep));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[2].substr(0, 12), "          W2");
        // Without "-FWGT" none of the six files is touched; the message still names them.
        EXPECT_EQ(ReadAll(dir + "/tiny.dat.NRT.Whist.out"), firstWhist);
        EXPECT_EQ(doc.asFilesWritten, (StringList{wrep}));
        EXPECT_EQ(pf.LastBox().rfind("Convergence attained. Results files written to\n" + dir, 0), 0u);
    }
}

TEST(Wrep, MissingFileIsReportedAndTheRunEndsWithoutItsMessage) {
    const std::string dir = MakeTempDir();
    const std::string wrep = dir + "/tiny.dat.NRT.Wrep.out";
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    RunTiny(pf, doc, dir, "W3", 0);
    EXPECT_EQ(pf.LastBox(), "Could not write to " + wrep +
                                ". File may be in use by another process. Click Save to try again.");
    EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_FALSE(pf.HasBoxStartingWith("Convergence"));
    EXPECT_FALSE(Exists(wrep));
    EXPECT_FALSE(Exists(dir + "/tiny.dat.NRT.Whist.out"));
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    EXPECT_EQ(doc.nrt.bFinished, 1);
    // The end-of-run writes are not attempted again.
    const size_t boxes = pf.boxes.size();
    doc.runs.rsNRT.bRunning = 1;
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.boxes.size(), boxes);
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
}

TEST(Wrep, MissingFileInABatchRunEndsWithFailure) {
    const std::string dir = MakeTempDir();
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, dir);
    doc.cmd.sWeightVar = "W3";
    doc.cmd.iBatchNRT = 1;
    EXPECT_TRUE(doc.BatchTrigger());
    StepToEnd(doc);
    EXPECT_EQ(pf.LastBox().rfind("Could not write to ", 0), 0u);
    EXPECT_EQ(doc.iExitCode, 1);
    EXPECT_EQ(doc.bBatchFinished, 0);
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.closeRequests, 1);
}

// One replicate run of flower_rep.dat in a child process: ZELK_WREP_CHILD holds the data
// path and ZELK_WREP_WEIGHT the weight variable. Not a test of its own when run normally.
TEST(WrepChildProcess, Run) {
    const char* path = std::getenv("ZELK_WREP_CHILD");
    const char* weight = std::getenv("ZELK_WREP_WEIGHT");
    if (!path || !weight) GTEST_SKIP() << "runs only as a child of the multi-process test";
    FakePlatform pf;
    pf.commandLine = std::string("zelk ") + path + " -NRT -W=" + weight;
    int status = 3;
    {
        CZELKDoc doc(pf, false);
        doc.bManualStepping = 1;
        doc.opt.asInitW = {"1"};
        // The data file is read under an exclusive lock: a sibling reading it at the
        // same moment makes it count as absent, so the open is tried again.
        bool opened = false;
        for (int attempt = 0; attempt < 400 && !opened; ++attempt) {
            opened = doc.OnOpenDocument(path);
            if (!opened) usleep(5000);
        }
        if (opened) {
            doc.BatchTrigger();
            int steps = 0;
            while (doc.runs.rsNRT.bRunning && steps++ < 1000000) doc.OnStepMessage(RunMessage::NrtStep);
            status = doc.bBatchFinished ? 0 : 2;
        } else {
            status = 4;
        }
    }
    std::fflush(nullptr);
    _exit(status);
}

pid_t SpawnChild(const std::string& path, const std::string& weight) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ZELK_WREP_CHILD", path.c_str(), 1);
        setenv("ZELK_WREP_WEIGHT", weight.c_str(), 1);
        execl("/proc/self/exe", "test_results", "--gtest_filter=WrepChildProcess.Run", "--gtest_brief=1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

TEST(Wrep, ManyProcessesAppendWholeRowsToOneFile) {
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/flower_rep.dat";
    WriteAll(data, ReadAll(std::string(ZELK_SOURCE_DIR "/examples") + "/flower_rep.dat"));
    ASSERT_FALSE(ReadAll(data).empty());
    const std::string wrep = data + ".NRT.Wrep.out";

    // The first replicate creates the table with "-FWGT".
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("ZELK_WREP_CHILD", data.c_str(), 1);
            setenv("ZELK_WREP_WEIGHT", "W_R01 -FWGT", 1);
            execl("/proc/self/exe", "test_results", "--gtest_filter=WrepChildProcess.Run", "--gtest_brief=1",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }
    // Then six replicates at once.
    const StringList weights = {"W_R02", "W_R03", "W_R04", "W_R05", "W_R06", "W_R07"};
    std::vector<pid_t> pids;
    for (const auto& w : weights) pids.push_back(SpawnChild(data, w));
    for (pid_t pid : pids) {
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    const std::string text = ReadAll(wrep);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const StringList lines = Lines(text);
    ASSERT_EQ(lines.size(), 1u + 1u + weights.size());
    const StringList header = SplitTokens(lines[0], ' ');
    ASSERT_EQ(header.size(), 3u + 8u);
    EXPECT_EQ(header[0], "REPWGT");
    EXPECT_EQ(header[1], "BCONV");
    EXPECT_EQ(header[2], "LU");
    EXPECT_EQ(lines[0].size(), 11u * 13u - 1u);
    std::set<std::string> seen;
    for (size_t r = 1; r < lines.size(); ++r) {
        const StringList tok = SplitTokens(lines[r], ' ');
        ASSERT_EQ(tok.size(), 11u) << lines[r];
        EXPECT_EQ(lines[r].size(), 11u * 13u - 1u) << lines[r];
        seen.insert(tok[0]);
        double sum = 0;
        for (size_t k = 3; k < tok.size(); ++k) sum += CAtof(tok[k]);
        EXPECT_NEAR(sum, 8.0, 1e-6) << lines[r];
        EXPECT_TRUE(tok[1] == "1.00000000" || tok[1] == "0.00000000");
    }
    EXPECT_EQ(seen.size(), 1u + weights.size());
    EXPECT_TRUE(seen.count("W_R01"));
    for (const auto& w : weights) EXPECT_TRUE(seen.count(w)) << w;
    // No "-FWGT" in the later runs: only the first one wrote the six files.
    EXPECT_TRUE(Exists(data + ".NRT.Whist.out"));
}

}  // namespace
}  // namespace zelk
