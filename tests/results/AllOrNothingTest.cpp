// The files of a run are all-or-nothing: the first step only checks that they can be
// written, the end replaces the whole set or none of it, a failed Wrep append leaves no
// fragment, and no failure is reported as success. Write faults are injected through the
// text-file layer's seam (a full disk is not available on demand).
#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "app/Summary.h"
#include "platform/TextFile.h"
#include "support/TempFiles.h"
#include "support/GoldenFiles.h"

namespace zelk {
namespace {

using namespace nrttest;
using golden::kSuffixes;
using testfs::Lines;

using testfs::Temporaries;

// Every write to `target` fails after `bytes` bytes (or throws std::bad_alloc).
struct InjectedFault {
    InjectedFault(const std::string& target, size_t bytes, bool outOfMemory = false) {
        g_textFileWriteLimit = [=](const std::string& path, size_t size) -> size_t {
            if (path != target) return size;
            if (outOfMemory) throw std::bad_alloc();
            return std::min(size, bytes);
        };
    }
    ~InjectedFault() { g_textFileWriteLimit = nullptr; }
};

// A tiny data set in a fresh directory whose six result files hold an earlier run's set.
struct PreviousSet {
    std::string dir = MakeTempDir();
    std::string data = dir + "/tiny.dat";
    FakePlatform pf;
    CZELKDoc doc{pf, false};
    PreviousSet() {
        PrepareTiny(doc, dir);
        for (const char* s : kSuffixes) WriteAll(data + s, std::string("previous ") + s + "\n");
    }
    bool Untouched() const {
        for (const char* s : kSuffixes)
            if (ReadAll(data + s) != std::string("previous ") + s + "\n") return false;
        return Temporaries(dir) == 0;
    }
    std::string Path(int k) const { return data + kSuffixes[k]; }
};

TEST(AllOrNothing, TheFirstStepLeavesThePreviousSetAndTheEndReplacesIt) {
    PreviousSet f;
    f.doc.OnAnalyzeNrt();
    for (int s = 0; s < 3; ++s) f.doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_TRUE(f.Untouched());
    EXPECT_EQ(f.doc.res.sWrepPath, f.data + ".NRT.Wrep.out");
    StepToEnd(f.doc);
    for (const char* s : kSuffixes) EXPECT_EQ(ReadAll(f.data + s).rfind("Data: " + f.data + "\n", 0), 0u) << s;
    EXPECT_EQ(Temporaries(f.dir), 0);
    EXPECT_FALSE(Exists(f.data + ".NRT.Wrep.out"));
}

TEST(AllOrNothing, AFileThatCannotBeWrittenStopsTheRunAtItsStart) {
    // Another process reading the W history, and a directory in its place.
    for (int variant = 0; variant < 2; ++variant) {
        PreviousSet f;
        const std::string whist = f.Path(0);
        int reader = -1;
        if (variant == 0) {
            reader = ::open(whist.c_str(), O_RDONLY);
            ASSERT_EQ(::flock(reader, LOCK_SH), 0);
        } else {
            ::unlink(whist.c_str());
            ASSERT_EQ(::mkdir(whist.c_str(), 0755), 0);
        }
        f.doc.cmd.iBatchNRT = 1;
        EXPECT_TRUE(f.doc.BatchTrigger());
        f.doc.OnStepMessage(RunMessage::NrtStep);
        EXPECT_EQ(f.doc.runs.rsNRT.bRunning, 0);
        ASSERT_EQ(f.pf.boxes.size(), 1u);
        EXPECT_EQ(f.pf.LastBox(),
                  "Could not create " + whist + ". File may be in use by another process. Click Save to try again.");
        EXPECT_EQ(f.doc.iExitCode, 1);
        EXPECT_EQ(f.doc.bNoData, 0);  // the data stay for another try
        EXPECT_EQ(f.doc.nrt.iIter, 0);
        for (int k = 1; k < 6; ++k) EXPECT_EQ(ReadAll(f.Path(k)), std::string("previous ") + kSuffixes[k] + "\n");
        EXPECT_EQ(Temporaries(f.dir), 0);
        // The batch ends with its failure status at the next repaint.
        EXPECT_TRUE(f.doc.BatchTrigger());
        EXPECT_EQ(f.pf.closeRequests, 1);
        if (reader >= 0) ::close(reader);
    }
}

TEST(AllOrNothing, AFailedWriteAtTheEndKeepsThePreviousSetAndFailsTheBatch) {
    // A fault at each file of the set, with nothing or a part of its text written.
    for (int k = 0; k < 6; ++k) {
        PreviousSet f;
        f.doc.cmd.iBatchNRT = 1;
        EXPECT_TRUE(f.doc.BatchTrigger());
        InjectedFault fault(f.Path(k), k % 2 == 0 ? 0 : 40);
        StepToEnd(f.doc);
        EXPECT_TRUE(f.Untouched()) << kSuffixes[k];
        ASSERT_EQ(f.pf.boxes.size(), 1u) << f.pf.LastBox();
        EXPECT_EQ(f.pf.LastBox(), "Could not write to " + f.Path(k) +
                                      ". File may be in use by another process. Click Save to try again.");
        EXPECT_EQ(f.doc.iExitCode, 1);
        EXPECT_EQ(f.doc.bBatchFinished, 1);
        EXPECT_TRUE(f.doc.asFilesWritten.empty());
        EXPECT_EQ(f.doc.asFilesNotWritten.size(), 6u);
        // The headless summary keeps the run's weights and names no file as written.
        const std::string summary = RunSummary(f.doc);
        EXPECT_EQ(summary.find("Written: "), std::string::npos) << summary;
        EXPECT_NE(summary.find("Not written: " + f.Path(0) + "\n"), std::string::npos) << summary;
    }
}

TEST(AllOrNothing, TheFinalMessageOfAnUnsavedRunSaysSo) {
    PreviousSet f;
    InjectedFault fault(f.Path(3), 0);
    f.doc.OnAnalyzeNrt();
    StepToEnd(f.doc);
    EXPECT_TRUE(f.Untouched());
    ASSERT_EQ(f.pf.boxes.size(), 2u);
    EXPECT_EQ(f.pf.LastBox().rfind("Convergence attained. The results files could not be written; the previous "
                                   "files, if any, are unchanged:\n" + f.Path(0) + ",\n",
                                   0),
              0u)
        << f.pf.LastBox();
    EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
}

TEST(AllOrNothing, RunningOutOfMemoryAtTheEndEndsTheRunAndKeepsTheSet) {
    PreviousSet f;
    InjectedFault fault(f.Path(2), 0, true);
    f.doc.OnAnalyzeNrt();
    StepToEnd(f.doc);
    EXPECT_TRUE(f.Untouched());
    EXPECT_EQ(f.pf.LastBox(), kOutOfMemoryText);
    EXPECT_EQ(f.doc.iFatalCount, 1);
    EXPECT_EQ(f.doc.bNoData, 1);
    EXPECT_EQ(f.doc.runs.rsNRT.bRunning, 0);
}

TEST(AllOrNothing, AFailedWrepAppendLeavesNoFragmentForTheNextRow) {
    const std::string dir = MakeTempDir();
    const std::string wrep = dir + "/tiny.dat.NRT.Wrep.out";
    auto run = [&](const std::string& weightVar, int fwgt, size_t failAfter) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        PrepareTiny(doc, dir);
        doc.cmd.sWeightVar = weightVar;
        doc.cmd.bFWGT = fwgt;
        doc.cmd.iBatchNRT = 1;
        std::unique_ptr<InjectedFault> fault;
        if (failAfter > 0) fault = std::make_unique<InjectedFault>(wrep, failAfter);
        doc.BatchTrigger();
        StepToEnd(doc);
        return doc.iExitCode;
    };
    ASSERT_EQ(run("W_R01", 1, 0), 0);
    ASSERT_EQ(run("W_R02", 0, 0), 0);
    const std::string before = ReadAll(wrep);
    // The disk fills after 40 of the 78 bytes of the row of W_R03: the table is as it was.
    EXPECT_EQ(run("W_R03", 0, 40), 1);
    EXPECT_EQ(ReadAll(wrep), before);
    // The next run's row stands on its own line.
    ASSERT_EQ(run("W_R04", 0, 0), 0);
    const StringList lines = Lines(ReadAll(wrep));
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_EQ(SplitTokens(line, ' ').size(), 6u) << line;
    EXPECT_EQ(lines[3].substr(0, 12), "       W_R04");
    // A new table with "-FWGT" that cannot be written keeps the old one.
    EXPECT_EQ(run("W_R05", 1, 10), 1);
    EXPECT_EQ(Lines(ReadAll(wrep)).size(), 4u);
    EXPECT_EQ(Temporaries(dir), 0);
}

}  // namespace
}  // namespace zelk
