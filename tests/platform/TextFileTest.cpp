// The text-file layer: only regular files are read or written, so a named pipe under a
// result file's name never holds the program; whole files are replaced all-or-nothing and
// a failed append leaves no fragment (write faults injected through the layer's seam).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

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

namespace {

using testfs::Temporaries;

// Lets `bytes` bytes of every write to `target` through, then fails as a full disk does.
struct WriteFault {
    WriteFault(const std::string& target, size_t bytes) {
        g_textFileWriteLimit = [target, bytes](const std::string& path, size_t size) {
            return path == target ? std::min(size, bytes) : size;
        };
    }
    ~WriteFault() { g_textFileWriteLimit = nullptr; }
};

}  // namespace

TEST(TextFile, AFileSetIsReplacedWholeOrNotAtAll) {
    const std::string dir = testfs::MakeTempDir("zelk_atomic");
    const std::vector<std::string> files = {dir + "/a.out", dir + "/b.out", dir + "/c.out"};
    auto writeOld = [&] {
        for (const auto& f : files) testfs::WriteText(f, "old " + f + "\n");
    };
    // A failure at each file, after 0 bytes and after some: no file changes, nothing stays.
    for (size_t bad = 0; bad < files.size(); ++bad) {
        for (size_t bytes : {size_t(0), size_t(5)}) {
            writeOld();
            WriteFault fault(files[bad], bytes);
            AtomicFileSet set;
            for (const auto& f : files) set.Add(f, "new " + f + "\n");
            const AtomicFileSet::Result r = set.Commit();
            EXPECT_EQ(r.fault, AtomicFileSet::Fault::Write);
            EXPECT_EQ(r.path, files[bad]);
            for (const auto& f : files) EXPECT_EQ(testfs::ReadText(f), "old " + f + "\n") << bad << " " << bytes;
            EXPECT_EQ(Temporaries(dir), 0);
        }
    }
    // A file in use by a reader refuses the set before anything is written.
    writeOld();
    {
        TextReader reader;
        ASSERT_TRUE(reader.Open(files[1]));
        AtomicFileSet set;
        for (const auto& f : files) set.Add(f, "new\n");
        const AtomicFileSet::Result r = set.Commit();
        EXPECT_EQ(r.fault, AtomicFileSet::Fault::Open);
        EXPECT_EQ(r.path, files[1]);
        EXPECT_FALSE(CanWriteFile(files[1]));
    }
    for (const auto& f : files) EXPECT_EQ(testfs::ReadText(f), "old " + f + "\n");
    // Without a fault every file is replaced, keeping its permissions; a new one is made.
    ASSERT_EQ(::chmod(files[0].c_str(), 0640), 0);
    AtomicFileSet set;
    for (const auto& f : files) set.Add(f, "new\n");
    set.Add(dir + "/d.out", "fresh\n");
    ASSERT_TRUE(set.Commit().Ok());
    for (const auto& f : files) EXPECT_EQ(testfs::ReadText(f), "new\n");
    EXPECT_EQ(testfs::ReadText(dir + "/d.out"), "fresh\n");
    struct stat st;
    ASSERT_EQ(::stat(files[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Temporaries(dir), 0);
}

TEST(TextFile, TheEarlyCheckChangesNothing) {
    const std::string dir = testfs::MakeTempDir("zelk_check");
    EXPECT_TRUE(CanWriteFile(dir + "/new.out"));
    EXPECT_FALSE(FileExists(dir + "/new.out"));
    EXPECT_FALSE(CanWriteFile(dir + "/no/such/dir.out"));
    ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0755), 0);
    EXPECT_FALSE(CanWriteFile(dir + "/sub"));  // not a regular file
    testfs::WriteText(dir + "/old.out", "old\n");
    EXPECT_TRUE(CanWriteFile(dir + "/old.out"));
    EXPECT_EQ(testfs::ReadText(dir + "/old.out"), "old\n");
    if (::geteuid() != 0) {  // permissions do not bind the superuser
        ASSERT_EQ(::chmod((dir + "/old.out").c_str(), 0444), 0);
        EXPECT_FALSE(CanWriteFile(dir + "/old.out"));
    }
    EXPECT_EQ(Temporaries(dir), 0);
}

TEST(TextFile, AFailedAppendLeavesNoFragment) {
    const std::string dir = testfs::MakeTempDir("zelk_append");
    const std::string file = dir + "/table.out";
    testfs::WriteText(file, "header\nrow 1\n");
    for (size_t bytes : {size_t(0), size_t(4)}) {
        WriteFault fault(file, bytes);
        TextWriter out;
        ASSERT_TRUE(out.Open(file, TextWriter::Mode::AppendExisting, true));
        EXPECT_FALSE(out.Write("row 2\n"));
        EXPECT_FALSE(out.Close());
        EXPECT_EQ(testfs::ReadText(file), "header\nrow 1\n");
    }
    TextWriter out;
    ASSERT_TRUE(out.Open(file, TextWriter::Mode::AppendExisting, true));
    ASSERT_TRUE(out.Write("row 3\n"));
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(testfs::ReadText(file), "header\nrow 1\nrow 3\n");
}

TEST(TextFile, AByteOrderMarkIsNotPartOfTheFirstLine) {
    const std::string dir = testfs::MakeTempDir("zelk_bom");
    const std::string file = dir + "/bom.txt";
    testfs::WriteText(file, "\xEF\xBB\xBF" "C1\tC2\r\n\xEF\xBB\xBF" "x\n");
    TextReader in;
    ASSERT_TRUE(in.Open(file));
    for (int pass = 0; pass < 2; ++pass) {
        std::string line;
        ASSERT_TRUE(in.ReadLine(line));
        EXPECT_EQ(line, "C1\tC2");
        ASSERT_TRUE(in.ReadLine(line));
        EXPECT_EQ(line, "\xEF\xBB\xBF" "x");  // only at the start of the file
        ASSERT_TRUE(in.Rewind());
    }
}

TEST(TextFile, TemporariesOfAKilledWriterAreRemovedByTheNextCommit) {
    const std::string dir = testfs::MakeTempDir("zelk_stale");
    const std::string target = dir + "/a.out";
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = TemporaryPrefix(target) + std::to_string(gone) + "-0";
    const std::string live = TemporaryPrefix(target) + std::to_string(::getpid()) + "-999999";
    testfs::WriteText(stale, "half");
    testfs::WriteText(live, "being written");
    AtomicFileSet set;
    set.Add(target, "whole\n");
    ASSERT_TRUE(set.Commit().Ok());
    EXPECT_FALSE(FileExists(stale));
    EXPECT_TRUE(FileExists(live));
    EXPECT_EQ(testfs::ReadText(target), "whole\n");
}
