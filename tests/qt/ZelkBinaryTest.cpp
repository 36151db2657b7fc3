// The zelk program run as a user runs it, in a fresh directory: usage errors, the missing
// display, a headless load and a headless Newton-Raphson batch.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "qt/ZelkRun.h"

namespace zelk {
namespace {

using namespace zelkrun;

class ZelkBinary : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(Binary().c_str(), X_OK) != 0) GTEST_SKIP() << "zelk is not built";
        dir = FreshDir();
        ASSERT_FALSE(dir.empty());
    }
    std::string dir;
};

TEST_F(ZelkBinary, HeadlessWithoutAFileIsAUsageError) {
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: zelk"), std::string::npos) << r.err;
}

TEST_F(ZelkBinary, NoDisplayNamesTheHeadlessMode) {
    const Result r = RunZelk(dir, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + Binary() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
    size_t lines = 0;
    for (char c : r.err) lines += c == '\n';
    EXPECT_EQ(lines, 1u);
}

TEST_F(ZelkBinary, HeadlessLoadOfAMissingFileFails) {
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless no-such-file.dat");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(ZelkBinary, HeadlessLoadPrintsTheSummary) {
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/flower.dat", dir + "/flower.dat");
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/ZELK.ini", dir + "/ZELK.ini");
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless flower.dat");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("flower.dat"), std::string::npos) << r.out;
    // The example's options file is read without a warning.
    EXPECT_EQ(r.err, "");
}

TEST_F(ZelkBinary, HeadlessNewtonRaphsonBatchWritesItsResults) {
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/flower.dat", dir + "/flower.dat");
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/ZELK.ini", dir + "/ZELK.ini");
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless flower.dat -NRT");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("onvergence"), std::string::npos) << r.out;
    EXPECT_EQ(access((dir + "/flower.dat.NRT.Whist.out").c_str(), R_OK), 0);
}

TEST_F(ZelkBinary, HeadlessSurfaceBatchReportsItsFile) {
    const std::string data = std::string(ZELK_SOURCE_DIR) + "/examples/flower2.dat";
    if (access(data.c_str(), R_OK) != 0) GTEST_SKIP() << "no flower2.dat";
    CopyFile(data, dir + "/flower2.dat");
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/ZELK.ini", dir + "/ZELK.ini");
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless flower2.dat -sut");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Surface scan finished.\nWritten: " + dir + "/flower2.dat.SuT.out\n");
}

TEST_F(ZelkBinary, BatchRunsThatCannotSaveStopAtTheStartWithAFailure) {
    // A directory where a result file should go: the run cannot save, so it does not run.
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/flower2.dat", dir + "/flower2.dat");
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/ZELK.ini", dir + "/ZELK.ini");
    for (const std::string& run : {std::string("-NRT"), std::string("-SUT")}) {
        const std::string blocked = dir + (run == "-NRT" ? "/flower2.dat.NRT.Dist.out" : "/flower2.dat.SuT.out");
        ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
        const Result r = RunZelk(dir, "'" + Binary() + "' --headless flower2.dat " + run);
        EXPECT_EQ(r.status, 1) << run << r.err;
        EXPECT_EQ(r.err.find("Could not create " + blocked + "."), 0u) << r.err;
        EXPECT_EQ(r.out.find("Written:"), std::string::npos) << r.out;
        EXPECT_NE(access((dir + "/flower2.dat.NRT.Whist.out").c_str(), F_OK), 0);
        rmdir(blocked.c_str());
    }
}

// The same run gives the same files, byte for byte: under a decimal-comma locale (numbers
// are read and written with a point whatever the environment says) and again with the same
// random seed (restarts included).
TEST_F(ZelkBinary, SameFilesUnderADecimalCommaLocaleAndWithTheSameSeed) {
    const char* const kOptions =
        "ASINITW=1\nDCONVCRIT=0.000001\nINUMRANDRESTART=1\nIMAXITER=15\nIRANDSEED=11\n";
    const char* const kFiles[] = {".NRT.Whist.out", ".NRT.Phist.out", ".NRT.Ghist.out", ".NRT.Dist.out",
                                  ".NRT.CovW.out",  ".NRT.Cov.out",   ".NRT.Wrep.out"};
    auto normalised = [](std::string text, const std::string& d) {
        for (size_t at = text.find(d); at != std::string::npos; at = text.find(d)) text.replace(at, d.size(), "DIR");
        return text;
    };
    std::vector<std::string> runs;
    for (const char* locale : {"C", "de_DE.UTF-8", "C"}) {
        const std::string d = FreshDir();
        CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/flower_rep.dat", d + "/rep.dat");
        std::ofstream(d + "/ZELK.ini") << kOptions;
        const Result r = RunZelk(d, std::string("env LANG=") + locale + " LC_ALL=" + locale + " '" + Binary() +
                                        "' --headless rep.dat -NRT -W=W_R01 -FWGT");
        if (std::string(locale) != "C" && r.err.find("locale") != std::string::npos)
            GTEST_SKIP() << "no " << locale << " locale here";
        ASSERT_EQ(r.status, 0) << locale << ": " << r.err;
        EXPECT_NE(r.out.find("Random seed: 11\n"), std::string::npos) << r.out;
        std::string all = normalised(r.out, d);
        for (const char* f : kFiles) all += normalised(ReadAll(d + "/rep.dat" + f), d);
        runs.push_back(all);
    }
    EXPECT_EQ(runs[0].find(','), std::string::npos);  // no decimal comma anywhere
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(runs[2], runs[0]);
}

TEST_F(ZelkBinary, RefusedBatchEndsWithAFailure) {
    // Surface scans take two to four variables; flower has eight.
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/flower.dat", dir + "/flower.dat");
    CopyFile(std::string(ZELK_SOURCE_DIR) + "/examples/ZELK.ini", dir + "/ZELK.ini");
    const Result r = RunZelk(dir, "'" + Binary() + "' --headless flower.dat -SUT");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace zelk
