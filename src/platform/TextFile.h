// Text files as the program uses them. Readers take a shared lock and writers an exclusive
// one (advisory flock() locks): a file that a writer holds counts as unreadable, and a file
// being read cannot be written or deleted, while several processes may read one file at
// once (side-by-side batch runs of one data set read the same result files). Only regular
// files are read, so a named pipe never blocks an open.
//
// Whole files are replaced all-or-nothing (AtomicFileSet): the new texts go to temporary
// files beside their targets and are renamed over them only once every one is on the disk,
// so a failed write, a full disk or a killed process never leaves a half-written file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zelk {

class TextReader {
public:
    TextReader() = default;
    ~TextReader() { Close(); }
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // Fails when the file is absent, not a regular file, or held by a writer.
    bool Open(const std::string& path);
    // Next line without "\n" and without a trailing "\r"; false at the end of the file.
    // A UTF-8 byte-order mark at the start of the file is not part of the first line.
    bool ReadLine(std::string& line);
    // Back to the first line (keeps the lock).
    bool Rewind();
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
    bool m_atStart = false;
};

class TextWriter {
public:
    enum class Mode { CreateTruncate, AppendExisting };
    TextWriter() = default;
    ~TextWriter() { Close(); }
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Fails when the file cannot be created, is absent (AppendExisting), or is held by
    // another holder. With `wait` the lock is awaited instead of refused (and a file
    // replaced while waiting is opened again, so the text goes to the file now under the
    // name).
    bool Open(const std::string& path, Mode mode, bool wait = false);
    // Writes the whole text in one write() call; false on a short or failed write. The
    // file's size is noted under the lock at the open: a failed write or flush cuts the
    // file back to it, so no fragment of a text stays behind.
    bool Write(const std::string& text);
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    bool Undo();

    int m_fd = -1;
    bool m_ok = true;
    long long m_sizeAtOpen = 0;
    std::string m_path;
};

// Texts that replace their files all-or-nothing.
class AtomicFileSet {
public:
    enum class Fault {
        None,
        Open,   // a target is not a regular file, cannot be written, or is in use; or no
                // temporary file can be created beside it
        Write,  // writing, flushing or renaming failed
    };
    struct Result {
        Fault fault = Fault::None;
        std::string path;  // the target that failed
        bool Ok() const { return fault == Fault::None; }
    };

    // With `wait` the lock of a target that another writer holds is awaited instead of
    // refused (appenders hold it only for one write).
    explicit AtomicFileSet(bool wait = false) : m_wait(wait) {}
    void Add(const std::string& path, std::string text);
    // Locks every existing target, writes every text to a new temporary file in its
    // target's directory and flushes it to the disk; then renames the temporaries over
    // the targets and flushes the directories. On any failure before the renames no
    // target changes and the temporaries are removed.
    Result Commit();

private:
    struct Item {
        std::string path, text;
    };
    std::vector<Item> m_items;
    bool m_wait;
};

// The names of the temporary files of `path` begin with this: "<path>.tmp-<host>-", then the
// writer's process id, "-" and a counter. A commit removes those that a process of this
// host left behind when it was killed.
std::string TemporaryPrefix(const std::string& path);

// The check before a run that will write `path` at its end: true when an existing file is
// a regular file that can be opened for writing and no other holder has locked it, or when
// a new file can be created in its directory. Nothing is changed.
bool CanWriteFile(const std::string& path);

// Test seam for write faults that a machine cannot produce on demand (a full disk). When
// set, it is called before every write of this layer with the target's path (for a
// temporary file, the path of the file it will replace) and the size of the write, and
// returns how many bytes reach the file; the write then fails after them as on a full
// disk. Empty in the program.
extern std::function<std::size_t(const std::string& path, std::size_t bytes)> g_textFileWriteLimit;

// Deletes a file unless it is absent or held by another holder. True when deleted.
bool DeleteFileIfFree(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace zelk
