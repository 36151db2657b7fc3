// Files saved with a UTF-8 byte-order mark (as common Windows editors write them): the data
// file and ZELK.ini read as without it.
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

const char* const kBom = "\xEF\xBB\xBF";

TEST(ByteOrderMark, DataFileLoadsAsWithoutIt) {
    for (const char* lineEnd : {"\n", "\r\n"}) {
        loadtest::LoadFixture f;
        const std::string body = std::string("C_X\tO_Y") + lineEnd + "1\t2" + lineEnd + "3\t1" + lineEnd + "2\t2" +
                                 lineEnd;
        ASSERT_TRUE(f.Open(kBom + body)) << f.pf.LastBox();
        EXPECT_EQ(f.doc.data.asVarname, (StringList{"C_X", "O_Y"}));
        EXPECT_EQ(f.doc.data.iNumRec, 3);
        EXPECT_TRUE(f.pf.boxes.empty()) << f.pf.LastBox();
    }
}

TEST(ByteOrderMark, OptionsFileReadsAsWithoutIt) {
    FakePlatform pf;
    pf.currentDirectory = loadtest::MakeTempDir();
    loadtest::WriteFile(pf.currentDirectory + "/ZELK.ini", std::string(kBom) + "IMAXITER=7\nBCALIB=1\n");
    CZELKDoc doc(pf, true);
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
    EXPECT_EQ(doc.opt.iMaxIter, 7);
    EXPECT_EQ(doc.opt.bCalib, 1);
}

}  // namespace
}  // namespace zelk
