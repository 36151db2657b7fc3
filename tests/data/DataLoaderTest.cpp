// The data-file loader through the open sequence: the grammar, the type order, the
// values, the sample weights, and every message of a failed load.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/DataLoader.h"
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

double ColumnSum(const Matrix& m) {
    double s = 0;
    for (int i = 0; i < m.Size(); ++i) s += m.Data()[i];
    return s;
}

const std::string kControl =
    "Invalid control record in data file. Control record must contain the variable names.\n"
    "Names must be unique and each name must begin with C, O, N, A or W.";

std::string OrderMessage(const std::string& code, const std::string& name) {
    return "Invalid data file (" + code + "). Variables must be in the following order by type:\nC, O, N, A or W.\n(" +
           name + ")";
}

// Expects a failed open with exactly one box, the given text, and an empty document.
void ExpectFailure(LoadFixture& f, const std::string& text, const std::string& message) {
    EXPECT_FALSE(f.Open(text)) << message;
    ASSERT_EQ(f.pf.boxes.size(), 1u) << f.pf.LastBox();
    EXPECT_EQ(f.pf.LastBox(), message);
    EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_TRUE(f.Empty());
}

TEST(DataLoader, FlowerLoadsWithItsTypesInOrder) {
    LoadFixture f;
    const std::string path = std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat";
    ASSERT_TRUE(f.doc.OnOpenDocument(path)) << f.pf.LastBox();
    EXPECT_TRUE(f.pf.boxes.empty());
    const DataSet& d = f.doc.data;
    EXPECT_EQ(d.sDataPath, path);
    EXPECT_EQ(d.iNumRec, 18);
    EXPECT_EQ(d.iNumVarAll, 8);
    EXPECT_EQ(d.iNumVar, 8);
    EXPECT_EQ(d.iNumC, 2);
    EXPECT_EQ(d.iNumO, 2);
    EXPECT_EQ(d.iNumN, 3);
    EXPECT_EQ(d.iNumS, 0);
    EXPECT_EQ(d.iNumA, 1);
    EXPECT_EQ(d.iNumW, 0);
    EXPECT_EQ(d.asVarnameC, StringList({"C_HEIGHT", "C_DISTANCE"}));
    EXPECT_EQ(d.asVarnameN, StringList({"N_WINTERS", "N_SHADOW", "N_COLOR"}));
    EXPECT_EQ(d.asVartype, StringList({"C", "C", "O", "O", "N", "N", "N", "A"}));
    EXPECT_EQ(d.asWeightVar, StringList({"_ONE_"}));
    ASSERT_EQ(d.mDataC.Rows(), 18);
    EXPECT_EQ(d.mDataC(0, 0), 25);
    EXPECT_EQ(d.mDataC(1, 1), 50);
    EXPECT_EQ(d.mDataO(0, 1), 15);
    EXPECT_EQ(d.mDataN(0, 2), 4);
    EXPECT_EQ(d.mDataA(0, 0), 1);
    EXPECT_TRUE(d.mDataS.Empty());
    EXPECT_EQ(d.mWeight.Rows(), 18);
    EXPECT_EQ(ColumnSum(d.mWeight), 18);
    EXPECT_EQ(d.aiDropRec, std::vector<int>(18, 0));
}

TEST(DataLoader, OpenFailuresShowTheCouldNotReadMessage) {
    LoadFixture f;
    // Absent.
    const std::string absent = f.dir + "/absent.dat";
    EXPECT_FALSE(f.doc.OnOpenDocument(absent));
    EXPECT_EQ(f.pf.LastBox(), "Could not read from " + absent + ". File may be in use by another process.");
    EXPECT_TRUE(f.Empty());
    // A directory.
    f.pf.boxes.clear();
    EXPECT_FALSE(f.doc.OnOpenDocument(f.dir));
    EXPECT_EQ(f.pf.LastBox(), "Could not read from " + f.dir + ". File may be in use by another process.");
    // A pipe is never opened (the open would wait for a writer forever).
    const std::string fifo = f.dir + "/pipe.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    f.pf.boxes.clear();
    EXPECT_FALSE(f.doc.OnOpenDocument(fifo));
    EXPECT_EQ(f.pf.LastBox(), "Could not read from " + fifo + ". File may be in use by another process.");
    EXPECT_TRUE(f.Empty());
}

TEST(DataLoader, AFileHeldByAnotherHolderCountsAsUnreadable) {
    LoadFixture f;
    const std::string path = f.Data("C1\tC2\n1\t2\n3\t4\n");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(f.doc.OnOpenDocument(path));
    EXPECT_EQ(f.pf.LastBox(), "Could not read from " + path + ". File may be in use by another process.");
    EXPECT_TRUE(f.Empty());
    ::close(fd);
    // Released: the same file loads.
    f.pf.boxes.clear();
    EXPECT_TRUE(f.doc.OnOpenDocument(path)) << f.pf.LastBox();
}

TEST(DataLoader, InBatchModeAnUnreadableFileClosesTheApplicationWithoutAMessage) {
    for (const char* sw : {"-NRT", "-sut"}) {
        LoadFixture f(sw);
        const std::string absent = f.dir + "/absent.dat";
        EXPECT_FALSE(f.doc.OnOpenDocument(absent));
        EXPECT_TRUE(f.pf.boxes.empty()) << f.pf.LastBox();
        EXPECT_EQ(f.pf.closeRequests, 1);
        EXPECT_EQ(f.doc.iExitCode, 1);
        EXPECT_TRUE(f.Empty());
    }
    // Any other failure shows its message in batch mode too.
    LoadFixture f("-NRT");
    EXPECT_FALSE(f.Open("C1\n1\n"));
    EXPECT_EQ(f.pf.LastBox(), "<2 data records found in " + f.dir + "/data.dat.");
}

TEST(DataLoader, TooFewRecords) {
    LoadFixture f;
    const std::string msg = "<2 data records found in " + f.dir + "/data.dat.";
    ExpectFailure(f, "", msg);
    ExpectFailure(f, "C1\tC2", msg);
    ExpectFailure(f, "C1\tC2\n", msg);
    ExpectFailure(f, "C1\tC2\n1\t2\n", msg);
    ExpectFailure(f, "C1\tC2\n1\t2", msg);
    // Two records, the last without a line end, are enough.
    EXPECT_TRUE(f.Open("C1\tC2\n1\t2\n3\t5")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.iNumRec, 2);
}

TEST(DataLoader, ControlRecordMessages) {
    LoadFixture f;
    ExpectFailure(f, "\n1\n2\n",
                  "Invalid control record in data file (length=0). Control record must contain the variable names.\n"
                  "Names must be unique and each name must begin with C, O, N, A or W.");
    // Tabs only: no name at all.
    ExpectFailure(f, "\t\t\n\t\n\t\n", kControl);
    ExpectFailure(f, "C1\tX1\n1\t2\n3\t4\n", kControl);
    // S is part of the engine's types but never of a data file.
    ExpectFailure(f, "C1\tS1\n1\t0\n3\t1\n", kControl);
    ExpectFailure(f, "S1\n0\n1\n", kControl);
    ExpectFailure(f, "C1\t1X\n1\t2\n3\t4\n", kControl);
    ExpectFailure(f, std::string("C1\t\x01X\n1\t2\n3\t4\n"), kControl);
    ExpectFailure(f, "C1 C2\n1\t2\n3\t4\n",
                  "Data file contains one or more SPACE characters. File must be tab-delimited.");
    ExpectFailure(f, "C1\tC2 \n1\t2\n3\t4\n",
                  "Data file contains one or more SPACE characters. File must be tab-delimited.");
}

TEST(DataLoader, TypeOrderMessagesNameTheOffendingVariable) {
    LoadFixture f;
    ExpectFailure(f, "O1\tC1\n1\t2\n3\t4\n", OrderMessage("C", "C1"));
    ExpectFailure(f, "N1\tO1\n1\t2\n3\t4\n", OrderMessage("CO", "O1"));
    ExpectFailure(f, "A1\tN1\n1\t2\n0\t4\n", OrderMessage("CON", "N1"));
    ExpectFailure(f, "C1\tWT\tA1\n1\t2\t1\n3\t4\t0\n", OrderMessage("CONA", "A1"));
    ExpectFailure(f, "WT\tC1\n1\t2\n3\t4\n", OrderMessage("CONAW", "WT"));
    ExpectFailure(f, "C1\tO1\tC2\n1\t2\t3\n3\t4\t5\n", OrderMessage("C", "C2"));
    // Lower-case names are upper-cased first.
    ExpectFailure(f, "o1\tc1\n1\t2\n3\t4\n", OrderMessage("C", "C1"));
    // Every type may be absent.
    EXPECT_TRUE(f.Open("A1\tW1\n1\t2\n0\t4\n")) << f.pf.LastBox();
    EXPECT_TRUE(f.Open("O1\tN1\n1\t2\n0\t4\n")) << f.pf.LastBox();
}

TEST(DataLoader, NamesAreUpperCasedAndCountedByType) {
    LoadFixture f("-W=WT");
    ASSERT_TRUE(f.Open("c1\to1\tn1\ta1\twt\n1.5\t1\t2\t0\t1\n2.5\t3\t1\t1\t2\n")) << f.pf.LastBox();
    const DataSet& d = f.doc.data;
    EXPECT_EQ(d.asVarname, StringList({"C1", "O1", "N1", "A1", "WT"}));
    EXPECT_EQ(d.iNumC, 1);
    EXPECT_EQ(d.iNumO, 1);
    EXPECT_EQ(d.iNumN, 1);
    EXPECT_EQ(d.iNumA, 1);
    EXPECT_EQ(d.iNumW, 1);
    EXPECT_EQ(d.iNumVar, 4);
    EXPECT_EQ(d.asWeightVar, StringList({"WT"}));
    EXPECT_EQ(d.mWeight(0, 0), 1);
    EXPECT_EQ(d.mWeight(1, 0), 2);
    EXPECT_EQ(d.mDataC(1, 0), 2.5);
}

TEST(DataLoader, RecordMessages) {
    LoadFixture f;
    ExpectFailure(f, "C1\tC2\tC3\n1.5\t\t2\n1\t2\t3\n",
                  "Invalid data file. One or more records contains a number of tokens inconsistent with the "
                  "control record.\n(2!=3)");
    ExpectFailure(f, "C1\tC2\n1\t2\n1\t2\t3\n",
                  "Invalid data file. One or more records contains a number of tokens inconsistent with the "
                  "control record.\n(3!=2)");
    ExpectFailure(f, "C1\tC2\n1\t2\n3\t4\n\n", "Invalid data record in data file (length=0).");
    ExpectFailure(f, "C1\tC2\n\n3\t4\n", "Invalid data record in data file (length=0).");
    ExpectFailure(f, "C1\tC2\n1\t2\n3 \t4\n",
                  "Data file contains one or more SPACE characters. File must be tab-delimited.");
    // A record of tabs alone has no token.
    ExpectFailure(f, "C1\tC2\n1\t2\n\t\t\n",
                  "Invalid data file. One or more records contains a number of tokens inconsistent with the "
                  "control record.\n(0!=2)");
}

TEST(DataLoader, RestrictedAndInvalidValues) {
    LoadFixture f;
    ExpectFailure(f, "C1\tC_X\n1\t2\n3\t-9999999\n", "Restricted value in type C variable C_X. (-999999999)");
    // 0.0000005 below the fill value: read, then rejected by the validation pass.
    ExpectFailure(f, "C1\tC2\n1\t2\n3\t-9999999.0000005\n", "Invalid data or sample weight (Record==2,Column==2");
    ExpectFailure(f, "C1\tO1\n1\t-1\n3\t4\n", "Invalid data or sample weight (Record==1,Column==2");
    ExpectFailure(f, "C1\tN1\tA1\n1\t2\t0\n3\t4\t-1\n", "Invalid data or sample weight (Record==2,Column==3");
    // Values that are not finite numbers are invalid data as well.
    ExpectFailure(f, "C1\tC2\n1\tnan\n3\t4\n", "Invalid data or sample weight (Record==1,Column==2");
    ExpectFailure(f, "C1\tC2\n1\t2\n-inf\t4\n", "Invalid data or sample weight (Record==2,Column==1");
}

TEST(DataLoader, ValuesConvertAsTheCLibraryDoes) {
    LoadFixture f;
    ASSERT_TRUE(f.Open("C1\tO1\tN1\n12abc\t2.7\tx\n1e1\t3\t1\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.mDataC(0, 0), 12);
    EXPECT_EQ(f.doc.data.mDataC(1, 0), 10);
    EXPECT_EQ(f.doc.data.mDataO(0, 0), 2);
    EXPECT_EQ(f.doc.data.mDataN(0, 0), 0);
    // Line ends of another platform and a NUL inside a field.
    const char crlf[] = "C1\tC2\r\n1\t2\r\n3\t4\0junk\r\n";
    ASSERT_TRUE(f.Open(std::string(crlf, sizeof crlf - 1))) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.mDataC(1, 1), 4);
    EXPECT_EQ(f.doc.data.asVarname, StringList({"C1", "C2"}));
}

TEST(DataLoader, AnAValueOtherThanZeroOrOneFailsTheTypeCheck) {
    LoadFixture f;
    ExpectFailure(f, "C1\tA1\n1\t2\n3\t0\n", "Error: Type A variables are not all 0-1 integers");
}

TEST(DataLoader, SampleWeightsDropAndFail) {
    {
        LoadFixture f("-W=W1");
        ASSERT_TRUE(f.Open("C1\tW1\n1\t1\n2\t0\n3\t0.0000005\n4\t-0.000001\n5\t2\n")) << f.pf.LastBox();
        const DataSet& d = f.doc.data;
        EXPECT_EQ(d.iNumRec, 2);
        EXPECT_EQ(d.aiDropRec, std::vector<int>({0, 1, 1, 1, 0}));
        ASSERT_EQ(d.mDataC.Rows(), 2);
        EXPECT_EQ(d.mDataC(0, 0), 1);
        EXPECT_EQ(d.mDataC(1, 0), 5);
        ASSERT_EQ(d.mWeight.Rows(), 2);
        EXPECT_EQ(d.mWeight(1, 0), 2);
    }
    LoadFixture f("-w=w1");
    ExpectFailure(f, "C1\tW1\n1\t1\n2\t-0.5\n3\t1\n", "Invalid data or sample weight (Record==2,Column==2");
    ExpectFailure(f, "C1\tW1\n1\t1\n2\tnan\n3\t1\n", "Invalid data or sample weight (Record==2,Column==2");
    ExpectFailure(f, "C1\tW1\n1\t1\n2\t0\n3\t0\n",
                  "<2 data records with weight>0 found in " + f.dir + "/data.dat.");
}

TEST(DataLoader, OnlyTheNamedWeightColumnIsRead) {
    {
        LoadFixture f;  // no weight named: W columns are ignored entirely
        ASSERT_TRUE(f.Open("C1\tW1\tW2\n1\t-5\tjunk\n2\t0\t0\n")) << f.pf.LastBox();
        EXPECT_EQ(f.doc.data.iNumW, 2);
        EXPECT_EQ(f.doc.data.iNumVar, 1);
        EXPECT_EQ(f.doc.data.iNumRec, 2);
        EXPECT_EQ(ColumnSum(f.doc.data.mWeight), 2);
    }
    LoadFixture f("-W=W2");
    ASSERT_TRUE(f.Open("C1\tW1\tW2\n1\t-5\t3\n2\t0\t4\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.mWeight(0, 0), 3);
    EXPECT_EQ(f.doc.data.mWeight(1, 0), 4);
    // The weight variable's name twice: the control record is rejected.
    ExpectFailure(f, "C1\tW2\tW2\n1\t1\t3\n2\t1\t4\n", kControl);
}

TEST(DataLoader, AWeightVariableThatIsNotThere) {
    {
        LoadFixture f("-W=WX");
        ExpectFailure(f, "C1\tW1\n1\t1\n2\t1\n",
                      "Weight variable WX was specified on command line but not found in input dataset.\n");
    }
    // "-W=" with nothing after it names the empty name, which no variable has.
    LoadFixture f("-W=");
    ExpectFailure(f, "C1\tW1\n1\t1\n2\t1\n",
                  "Weight variable  was specified on command line but not found in input dataset.\n");
}

TEST(DataLoader, AFileThatChangesBetweenThePasses) {
    LoadFixture f;
    const std::string path = f.Data("C1\tC2\n1\t2\n3\t4\n5\t7\n");
    g_dataLoaderBetweenPasses = [](const std::string& p) {
        std::ofstream out(p, std::ios::app);
        out << "8\t9\n";
    };
    EXPECT_FALSE(f.doc.OnOpenDocument(path));
    EXPECT_EQ(f.pf.LastBox(), "Fatal error 2007.10.13.4 (4!=3");
    EXPECT_TRUE(f.Empty());

    f.pf.boxes.clear();
    loadtest::WriteFile(path, "C1\tC2\n1\t2\n3\t4\n5\t7\n");
    g_dataLoaderBetweenPasses = [](const std::string& p) { loadtest::WriteFile(p, "C1\tC2\n1\t2\n3\t4\n"); };
    EXPECT_FALSE(f.doc.OnOpenDocument(path));
    EXPECT_EQ(f.pf.LastBox(), "Fatal error 2007.10.13.4 (2!=3");
    EXPECT_TRUE(f.Empty());

    // The file vanishes: the open descriptor still reads it.
    loadtest::WriteFile(path, "C1\tC2\n1\t2\n3\t4\n5\t7\n");
    g_dataLoaderBetweenPasses = [](const std::string& p) { ::unlink(p.c_str()); };
    f.pf.boxes.clear();
    EXPECT_TRUE(f.doc.OnOpenDocument(path)) << f.pf.LastBox();
    g_dataLoaderBetweenPasses = nullptr;
}

TEST(DataLoader, LongNamesAndLongLines) {
    LoadFixture f;
    const std::string longName = "C" + std::string(20000, 'X');
    std::string text = longName + "\tC2\n";
    text += "0." + std::string(50000, '1') + "\t2\n";
    text += "3\t" + std::string(30000, '0') + "4\n";
    ASSERT_TRUE(f.Open(text)) << f.pf.LastBox().substr(0, 200);
    EXPECT_EQ(f.doc.data.asVarnameC[0], longName);
    EXPECT_EQ(f.doc.data.mDataC(1, 1), 4);
    // Many columns.
    std::string head, row1, row2;
    for (int j = 0; j < 3000; ++j) {
        head += (j ? "\tC" : "C") + std::to_string(j);
        row1 += (j ? "\t" : "") + std::to_string(j);
        row2 += (j ? "\t" : "") + std::to_string(2 * j + 1);
    }
    ASSERT_TRUE(f.Open(head + "\n" + row1 + "\n" + row2 + "\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.data.iNumC, 3000);
}

}  // namespace
}  // namespace zelk
