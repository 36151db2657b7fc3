// The text-file layer: only regular files are read or written, so a named pipe under a
// result file's name never holds the program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/TextFile.h"
#include "support/TempFiles.h"

using namespace zelk;

TEST(TextFile, NamedPipeIsRefusedWithoutBlocking) {
    const std::string dir = testfs::MakeTempDir("zelk_fifo");
    const std::string fifo = dir + "/flower.dat.NRT.Whist.out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    TextReader in;
    EXPECT_FALSE(in.Open(fifo));  // would block for ever on a plain open
    TextWriter out;
    EXPECT_FALSE(out.Open(fifo, TextWriter::Mode::AppendExisting));
    EXPECT_FALSE(out.Open(fifo, TextWriter::Mode::CreateTruncate));
    EXPECT_FALSE(DeleteFileIfFree(fifo));
    EXPECT_FALSE(in.Open(dir));  // a directory is not a file either

    const std::string file = dir + "/a.txt";
    ASSERT_TRUE(out.Open(file, TextWriter::Mode::CreateTruncate));
    ASSERT_TRUE(out.Write("one\r\ntwo"));
    ASSERT_TRUE(out.Close());
    ASSERT_TRUE(in.Open(file));
    std::string line;
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "one");  // without its line end
    ASSERT_TRUE(in.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_FALSE(in.ReadLine(line));
}
