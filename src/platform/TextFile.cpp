#include "platform/TextFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <set>

namespace zelk {

std::function<std::size_t(const std::string& path, std::size_t bytes)> g_textFileWriteLimit;

namespace {

// Writes all of data to fd; false on a failed write (errno set). The test seam may let only
// part of it through, which then fails as a full disk does.
bool WriteAll(int fd, const std::string& target, const char* data, std::size_t size) {
    std::size_t allowed = size;
    if (g_textFileWriteLimit) allowed = std::min(size, g_textFileWriteLimit(target, size));
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t w = ::write(fd, data + done, allowed - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    if (allowed < size) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

// flock, retried when a signal interrupts it.
bool Lock(int fd, bool wait) {
    int rc;
    do {
        rc = ::flock(fd, wait ? LOCK_EX : (LOCK_EX | LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Opens an existing regular file for writing without blocking on a pipe, without
// truncating it; -1 when it cannot be opened (errno ENOENT when absent).
int OpenExistingForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// This host's name as it may stand in a file name.
std::string HostTag() {
    char host[256] = {0};
    if (::gethostname(host, sizeof host - 1) != 0) return "host";
    std::string tag;
    for (const char* c = host; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)) || *c == '.' || *c == '_') tag += *c;
    return tag.empty() ? std::string("host") : tag;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new, empty temporary file beside `path` (same directory, so that a rename replaces the
// target in one step); -1 when none can be created.
int CreateTemporary(const std::string& path, mode_t mode, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string prefix = TemporaryPrefix(path) + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = prefix + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    tempPath.clear();
    return -1;
}

// Removes the temporaries of `path` that a process of this host left when it was killed
// (its process no longer exists); those of a live process are its own business.
void RemoveStaleTemporaries(const std::string& path) {
    const std::string prefix = BaseName(TemporaryPrefix(path));
    DIR* dir = ::opendir(DirectoryOf(path).c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // The rest is "<process id>-<counter>".
        const std::string rest = name.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == std::string::npos) continue;
        const std::string pidText = rest.substr(0, dash), countText = rest.substr(dash + 1);
        auto digits = [](const std::string& t) {
            return !t.empty() && t.size() <= 9 && t.find_first_not_of("0123456789") == std::string::npos;
        };
        if (!digits(pidText) || !digits(countText)) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(pidText));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) stale.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) ::unlink((DirectoryOf(path) + "/" + name).c_str());
}

void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string TemporaryPrefix(const std::string& path) { return path + ".tmp-" + HostTag() + "-"; }

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
    m_atStart = true;
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
    if (m_atStart && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    m_atStart = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool TextReader::Rewind() {
    if (!m_file) return false;
    std::clearerr(m_file);
    m_atStart = true;
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
    // A writer that waited for the lock may find that the file was replaced meanwhile (an
    // all-or-nothing write renamed a new file over it): it opens the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), flags, 0644);
        if (fd < 0) return false;
        // Only a regular file is written (a named pipe or a device could block or swallow it).
        struct stat st;
        const int fl = ::fcntl(fd, F_GETFL);
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 ||
            ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0 || !Lock(fd, wait)) {
            ::close(fd);
            return false;
        }
        struct stat now, held;
        if (wait && (::stat(path.c_str(), &now) != 0 || ::fstat(fd, &held) != 0 || now.st_ino != held.st_ino ||
                     now.st_dev != held.st_dev)) {
            ::close(fd);
            continue;
        }
        // Truncate only once the lock is ours, so that a held file is never emptied.
        if (mode == Mode::CreateTruncate && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
        const off_t size = ::lseek(fd, 0, SEEK_END);
        if (size < 0) {
            ::close(fd);
            return false;
        }
        m_fd = fd;
        m_ok = true;
        m_sizeAtOpen = static_cast<long long>(size);
        m_path = path;
        return true;
    }
    return false;
}

bool TextWriter::Undo() {
    // Back to the size at the open: no fragment of a failed text stays in the file.
    return ::ftruncate(m_fd, static_cast<off_t>(m_sizeAtOpen)) == 0;
}

bool TextWriter::Write(const std::string& text) {
    if (m_fd < 0 || !m_ok) return false;
    if (!WriteAll(m_fd, m_path, text.data(), text.size())) {
        m_ok = false;
        Undo();
        return false;
    }
    return true;
}

bool TextWriter::Close() {
    if (m_fd < 0) return m_ok;
    bool ok = m_ok;
    if (ok && ::fsync(m_fd) != 0) {
        ok = false;
        Undo();
    }
    ok = (::close(m_fd) == 0) && ok;  // closing the descriptor releases the lock
    m_fd = -1;
    m_ok = true;
    return ok;
}

void AtomicFileSet::Add(const std::string& path, std::string text) {
    m_items.push_back(Item{path, std::move(text)});
}

namespace {

// What a commit holds until it is over; released on every way out, an exception included:
// the temporaries not renamed are removed and the descriptors (and their locks) closed.
struct Pending {
    std::vector<int> held;           // locks on the existing targets
    std::vector<std::string> temps;  // temporaries not (yet) renamed
    int writing = -1;                // the temporary being written
    ~Pending() {
        if (writing >= 0) ::close(writing);
        for (const std::string& t : temps)
            if (!t.empty()) ::unlink(t.c_str());
        for (int fd : held) ::close(fd);
    }
};

}  // namespace

AtomicFileSet::Result AtomicFileSet::Commit() {
    Result result;
    Pending pending;
    pending.temps.resize(m_items.size());
    auto fail = [&result](Fault fault, const std::string& path) {
        result.fault = fault;
        result.path = path;
        return result;
    };

    // The targets: each existing one is locked (so that no reader or writer has it) until
    // the new file has replaced it; its permissions go over to the new file.
    std::vector<mode_t> modes(m_items.size(), 0644);
    std::vector<bool> existed(m_items.size(), false);
    for (size_t k = 0; k < m_items.size(); ++k) {
        const std::string& path = m_items[k].path;
        const int fd = OpenExistingForWriting(path);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // a new file
            return fail(Fault::Open, path);
        }
        pending.held.push_back(fd);
        struct stat st;
        if (::fstat(fd, &st) != 0 || !Lock(fd, m_wait)) return fail(Fault::Open, path);
        modes[k] = st.st_mode & 07777;
        existed[k] = true;
    }

    // The new texts, each in its temporary file, on the disk.
    for (size_t k = 0; k < m_items.size(); ++k) {
        const Item& item = m_items[k];
        RemoveStaleTemporaries(item.path);
        const int fd = CreateTemporary(item.path, modes[k], pending.temps[k]);
        if (fd < 0) return fail(Fault::Open, item.path);
        pending.writing = fd;
        // A replaced file's permissions stay as they were, whatever the umask says.
        if (existed[k]) (void)::fchmod(fd, modes[k]);
        bool ok = WriteAll(fd, item.path, item.text.data(), item.text.size());
        ok = ok && ::fsync(fd) == 0;
        pending.writing = -1;
        ok = (::close(fd) == 0) && ok;
        if (!ok) return fail(Fault::Write, item.path);
    }

    // All written: the temporaries take the targets' names (a few renames in one
    // directory, the only moment at which the set is partly new).
    std::set<std::string> dirs;
    for (size_t k = 0; k < m_items.size(); ++k) {
        if (::rename(pending.temps[k].c_str(), m_items[k].path.c_str()) != 0)
            return fail(Fault::Write, m_items[k].path);
        pending.temps[k].clear();
        dirs.insert(DirectoryOf(m_items[k].path));
    }
    // The new names on the disk too (the files are in place whatever this says).
    for (const std::string& dir : dirs) SyncDirectory(dir);
    return result;
}

bool CanWriteFile(const std::string& path) {
    const int fd = OpenExistingForWriting(path);
    if (fd >= 0) {
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return free;
    }
    if (errno != ENOENT) return false;
    // A new file: one can be created in the directory (a probe, removed at once).
    std::string probe;
    const int pfd = CreateTemporary(path, 0644, probe);
    if (pfd < 0) return false;
    ::close(pfd);
    ::unlink(probe.c_str());
    return true;
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
