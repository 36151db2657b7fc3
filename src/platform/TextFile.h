// Text files as the program uses them: reading "with exclusive sharing" (a file that
// another process holds counts as unreadable), writing under the same lock, deletion.
// Locks are advisory flock() locks.
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

    // Fails when the file is absent, unreadable or locked by another holder.
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
