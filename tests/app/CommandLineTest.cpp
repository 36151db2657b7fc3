// The switches of the process command line, read again on every open.
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

const std::string kTwoRecords = "C1\tC2\tW_A\n1\t2\t1\n3\t5\t1\n";

TEST(CommandLine, SwitchesAreCaseInsensitive) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    pf.commandLine = "  /usr/bin/zelk   data.dat -nrt  -w=w_rep01 -fwgt  ";
    EXPECT_TRUE(doc.ReadCommandLine());
    EXPECT_EQ(doc.cmd.iBatchNRT, 1);
    EXPECT_EQ(doc.cmd.iBatchSUT, 0);
    EXPECT_EQ(doc.cmd.bFWGT, 1);
    EXPECT_EQ(doc.cmd.sWeightVar, "W_REP01");
    EXPECT_TRUE(pf.boxes.empty());
}

TEST(CommandLine, DefaultsAndIgnoredTokens) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    // A slash starts a path here; unknown switches are not ours.
    pf.commandLine = "zelk /NRT /SUT -X -NRTX -W -SUT=1 data.dat";
    EXPECT_TRUE(doc.ReadCommandLine());
    EXPECT_EQ(doc.cmd.iBatchNRT, 0);
    EXPECT_EQ(doc.cmd.iBatchSUT, 0);
    EXPECT_EQ(doc.cmd.bFWGT, 0);
    EXPECT_EQ(doc.cmd.sWeightVar, " ");
    // A switch given twice acts once; "-W=" alone names the empty name.
    pf.commandLine = "zelk -SUT -sut -W=";
    EXPECT_TRUE(doc.ReadCommandLine());
    EXPECT_EQ(doc.cmd.iBatchSUT, 1);
    EXPECT_EQ(doc.cmd.sWeightVar, "");
    EXPECT_TRUE(pf.boxes.empty());
}

TEST(CommandLine, NrtAndSutTogetherCloseTheApplication) {
    LoadFixture f("-nrt data.dat -SUT");
    const std::string path = f.Data(kTwoRecords);
    EXPECT_FALSE(f.doc.OnOpenDocument(path));
    ASSERT_EQ(f.pf.boxes.size(), 1u);
    EXPECT_EQ(f.pf.LastBox(),
              "Error: At most one command line option of -NRT or -SUT can be used per call to ZELK.\n"
              "zelk -nrt data.dat -SUT");
    EXPECT_EQ(f.pf.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(f.pf.closeRequests, 1);
    EXPECT_EQ(f.doc.iExitCode, 2);
    EXPECT_TRUE(f.Empty());  // nothing was loaded
}

TEST(CommandLine, TheWeightNameComesFromTheCommandLineOfEachOpen) {
    LoadFixture f("-w=w_a");
    ASSERT_TRUE(f.Open(kTwoRecords)) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.asWeightVar, StringList({"W_A"}));
    // The command-line state survives the emptying of the document.
    EXPECT_TRUE(f.doc.OnNewDocument());
    EXPECT_EQ(f.doc.cmd.sWeightVar, "W_A");
    // A name the data file does not have.
    f.pf.commandLine = "zelk -W=W_B";
    EXPECT_FALSE(f.Open(kTwoRecords));
    EXPECT_EQ(f.pf.LastBox(), "Weight variable W_B was specified on command line but not found in input dataset.\n");
}

}  // namespace
}  // namespace zelk
