// The start of the application: which argument is the file, and what the window does.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/Document.h"
#include "app/Startup.h"
#include "support/FakePlatform.h"

namespace zelk {
namespace {

TEST(Startup, FileArgumentIsTheFirstThatIsNotASwitch) {
    EXPECT_EQ(FindFileArgument({"zelk"}), "");
    EXPECT_EQ(FindFileArgument({"zelk", "-NRT", "-W=W_R01"}), "");
    EXPECT_EQ(FindFileArgument({"zelk", "-NRT", "data.dat", "other.dat"}), "data.dat");
    // A slash starts a path here, not a switch.
    EXPECT_EQ(FindFileArgument({"zelk", "/home/me/flower.dat", "-SUT"}), "/home/me/flower.dat");
    // The program itself is never the file.
    EXPECT_EQ(FindFileArgument({"/usr/bin/zelk", "-FWGT"}), "");
    EXPECT_EQ(FindFileArgument({"zelk", "", "x.dat"}), "x.dat");
}

TEST(Startup, WithoutAFileTheWindowShowsMaximisedWithAnEmptyDocument) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const StartupResult r = RunStartup(doc, {"zelk"});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.file, "");
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_EQ(pf.showMaximised, 1);
    EXPECT_EQ(pf.showMinimised, 0);
    EXPECT_GE(pf.redraws, 1);
    EXPECT_EQ(doc.iExitCode, 0);
}

TEST(Startup, WithAFileTheDataSetIsLoadedAndTheWindowStartsMinimised) {
    FakePlatform pf;
    const std::string path = std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat";
    pf.commandLine = "zelk " + path;
    CZELKDoc doc(pf, false);
    const StartupResult r = RunStartup(doc, {"zelk", path});
    const std::string full = std::filesystem::path(path).lexically_normal().string();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.file, full);
    EXPECT_EQ(doc.bNoData, 0);
    EXPECT_EQ(doc.data.sDataPath, full);
    EXPECT_EQ(pf.showMinimised, 1);
    EXPECT_EQ(pf.showMaximised, 0);
    EXPECT_GE(pf.redraws, 1);
}

TEST(Startup, ARelativeFileIsOpenedByItsFullPath) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const StartupResult r = RunStartup(doc, {"zelk", "zelk-no-such-dir/../zelk-missing.dat"});
    EXPECT_FALSE(r.ok);
    ASSERT_FALSE(r.file.empty());
    EXPECT_EQ(r.file.front(), '/');
    EXPECT_EQ(r.file.find(".."), std::string::npos);
    EXPECT_NE(r.file.find("/zelk-missing.dat"), std::string::npos);
}

TEST(Startup, AFailedFirstOpenEndsTheApplication) {
    FakePlatform pf;
    const std::string path = ::testing::TempDir() + "/zelk-no-such-file.dat";
    pf.commandLine = "zelk " + path;
    CZELKDoc doc(pf, false);
    const StartupResult r = RunStartup(doc, {"zelk", path});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(doc.bNoData, 1);
    // The main window is never shown, and the end is not reported as success.
    EXPECT_EQ(pf.showMaximised + pf.showMinimised, 0);
    EXPECT_NE(doc.iExitCode, 0);
}

TEST(Startup, BothBatchSwitchesEndTheApplicationWithoutLoading) {
    FakePlatform pf;
    const std::string path = std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat";
    pf.commandLine = "zelk " + path + " -nrt -SUT";
    CZELKDoc doc(pf, false);
    const StartupResult r = RunStartup(doc, {"zelk", path, "-nrt", "-SUT"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(doc.bNoData, 1);
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_TRUE(pf.HasBoxStartingWith("Error: At most one command line option of -NRT or -SUT can be used per call to ZELK.\n"));
    EXPECT_EQ(pf.showMaximised + pf.showMinimised, 0);
    EXPECT_NE(doc.iExitCode, 0);
}

// The options file shipped with the example: every line is a valid option.
TEST(Startup, ExampleOptionsFileReadsWithoutWarnings) {
    FakePlatform pf;
    pf.currentDirectory = std::string(ZELK_SOURCE_DIR) + "/examples";
    CZELKDoc doc(pf, true);
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
    EXPECT_EQ(doc.opt.asInitW, StringList({"1"}));
    EXPECT_EQ(doc.opt.iMaxIter, 100);
    EXPECT_EQ(doc.opt.iNumRandRestart, 0);
    EXPECT_EQ(doc.opt.bCalib, 0);
    EXPECT_EQ(doc.opt.iSleepMilli, 25);
    EXPECT_EQ(doc.opt.iThreadPriority12345, 3);
}

}  // namespace
}  // namespace zelk
