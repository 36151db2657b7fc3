// The surface file is all-or-nothing: a scan checks at its start that it can write the
// file, writes it whole at its end, and a failed write keeps the previous file and fails a
// batch scan (write faults injected through the text-file layer's seam).
#include <dirent.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

#include "platform/TextFile.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace {

using namespace surftest;

using testfs::Temporaries;

const char* const kPrevious = "previous surface file\n";

// A two-variable data set with a 19-point grid beside a surface file of an earlier scan,
// scanned as a batch with every write to the file failing after `failAfter` bytes (none
// when negative).
struct BatchScan {
    Fixture f;
    std::string data, path;
    explicit BatchScan(long failAfter) {
        f.doc.opt.dSurfaceByW2Vars = 0.1;
        f.doc.bOneItemPerStep = 1;
        data = f.Data(kTwoC);
        path = data + ".SuT.out";
        EXPECT_TRUE(f.doc.OnOpenDocument(data));
        WriteText(path, kPrevious);
        if (failAfter >= 0)
            g_textFileWriteLimit = [this, failAfter](const std::string& p, size_t size) {
                return p == path ? std::min(size, static_cast<size_t>(failAfter)) : size;
            };
        f.doc.cmd.iBatchSUT = 1;
        f.doc.BatchTrigger();
        f.doc.OnStepMessage(RunMessage::SurfaceStep);
        EXPECT_EQ(ReadText(path), kPrevious);  // nothing is written while the scan runs
        f.RunSurface();
        g_textFileWriteLimit = nullptr;
    }
};

TEST(SurfaceFileWrite, TheEndReplacesThePreviousFileWholeOrNotAtAll) {
    {
        BatchScan s(-1);
        EXPECT_EQ(ReadLines(s.path).size(), 5u + 19u);
        EXPECT_EQ(s.f.doc.iExitCode, 0);
        EXPECT_EQ(s.f.doc.bBatchFinished, 1);
        EXPECT_EQ(s.f.doc.asFilesWritten, StringList{s.path});
    }
    for (long failAfter : {0L, 100L}) {
        BatchScan s(failAfter);
        EXPECT_EQ(ReadText(s.path), kPrevious);
        EXPECT_EQ(Temporaries(s.f.dir), 0);
        EXPECT_EQ(s.f.pf.LastBox(), "Could not write to " + s.path +
                                        ". File may be in use by another process. Click Save to try again.");
        // Not a finished scan: no summary that lists the file, a failure status.
        EXPECT_EQ(s.f.doc.iExitCode, 1);
        EXPECT_EQ(s.f.doc.bBatchFinished, 0);
        EXPECT_TRUE(s.f.doc.asFilesWritten.empty());
        EXPECT_EQ(s.f.doc.asFilesNotWritten, StringList{s.path});
    }
}

TEST(SurfaceFileWrite, TheReportOfAScanWhoseFileWasNotWrittenSaysSo) {
    Fixture f;
    f.doc.opt.dSurfaceByW2Vars = 0.1;
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    g_textFileWriteLimit = [](const std::string&, size_t) { return size_t(0); };
    f.Scan();
    g_textFileWriteLimit = nullptr;
    EXPECT_EQ(f.pf.LastBox(), "The surface file " + data +
                                  ".SuT.out could not be written; the previous one, if any, is unchanged.\n\n"
                                  "19 iterations in 0 seconds\n");
    EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_FALSE(Exists(data + ".SuT.out"));
}

TEST(SurfaceFileWrite, AFileInUseStopsTheScanAtItsStart) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    const std::string path = data + ".SuT.out";
    WriteText(path, kPrevious);
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    f.doc.cmd.iBatchSUT = 1;
    f.doc.BatchTrigger();
    EXPECT_EQ(f.RunSurface(), 1);
    ::close(reader);
    EXPECT_EQ(f.pf.LastBox(),
              "Could not create " + path + ". File may be in use by another process. Click Save to try again.");
    EXPECT_EQ(f.doc.scan.iIter, 0);  // no point was evaluated
    EXPECT_EQ(f.doc.iExitCode, 1);
    EXPECT_EQ(ReadText(path), kPrevious);
}

}  // namespace
}  // namespace zelk
