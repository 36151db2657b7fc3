// Text files as the program uses them. Readers take a shared lock and writers an exclusive
// one (advisory flock() locks): a file that a writer holds counts as unreadable, and a file
// being read cannot be written or deleted, while several processes may read one file at
// once (side-by-side batch runs of one data set read the same result files). Only regular
// files are read, so a named pipe never blocks an open.
#pragma once

#include <cstdio>
#include <string>

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
    bool ReadLine(std::string& line);
    // Back to the first line (keeps the lock).
    bool Rewind();
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
};

class TextWriter {
public:
    enum class Mode { CreateTruncate, AppendExisting };
    TextWriter() = default;
    ~TextWriter() { Close(); }
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Fails when the file cannot be created, is absent (AppendExisting), or is held by
    // another holder. With `wait` the lock is awaited instead of refused.
    bool Open(const std::string& path, Mode mode, bool wait = false);
    // Writes the whole text in one write() call; false on a short or failed write.
    bool Write(const std::string& text);
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    bool m_ok = true;
};

// Deletes a file unless it is absent or held by another holder. True when deleted.
bool DeleteFileIfFree(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace zelk
