#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zelk {

bool TextReader::Open(const std::string& path) {
    Close();
    // Opened without blocking, so that a named pipe with no writer cannot hold the open;
    // anything but a regular file is refused, then reads block as usual.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_file = ::fdopen(fd, "r");
    if (!m_file) {
        ::close(fd);
        return false;
    }
    return true;
}

bool TextReader::ReadLine(std::string& line) {
    line.clear();
    if (!m_file) return false;
    int c;
    bool any = false;
    while ((c = std::getc(m_file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool TextReader::Rewind() {
    if (!m_file) return false;
    std::clearerr(m_file);
    return std::fseek(m_file, 0, SEEK_SET) == 0;
}

void TextReader::Close() {
    if (m_file) {
        std::fclose(m_file);  // closing the descriptor releases the lock
        m_file = nullptr;
    }
}

bool TextWriter::Open(const std::string& path, Mode mode, bool wait) {
    Close();
    int flags = O_WRONLY | O_CLOEXEC | O_APPEND | O_NONBLOCK;
    if (mode == Mode::CreateTruncate) flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    // Only a regular file is written (a named pipe or a device could block or swallow it).
    struct stat st;
    const int fl = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, wait ? LOCK_EX : (LOCK_EX | LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    // Truncate only once the lock is ours, so that a held file is never emptied.
    if (mode == Mode::CreateTruncate && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_ok = true;
    return true;
}

bool TextWriter::Write(const std::string& text) {
    if (m_fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = ::write(m_fd, text.data() + done, text.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            m_ok = false;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

bool TextWriter::Close() {
    if (m_fd < 0) return m_ok;
    bool ok = m_ok && ::fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    return ok;
}

bool DeleteFileIfFree(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    bool ok = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return ok;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace zelk
