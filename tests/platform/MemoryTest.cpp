// The memory a process may use: the physical memory, or the room an address-space limit
// (ulimit -v) leaves, read in a child process whose limit is lowered.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Memory.h"

using namespace zelk;

TEST(Memory, TheAddressSpaceLimitLeavesLessRoomThanTheMachine) {
    const MemoryLimit machine = ProcessMemoryLimit();
    ASSERT_GT(machine.bytes, 64.0 * 1024 * 1024);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // 256 MB above what the process uses now: four fifths of that room is the limit.
        std::FILE* f = std::fopen("/proc/self/statm", "r");
        unsigned long long pages = 0;
        if (!f || std::fscanf(f, "%llu", &pages) != 1) ::_exit(2);
        std::fclose(f);
        const double used = static_cast<double>(pages) * ::sysconf(_SC_PAGESIZE);
        struct rlimit rl;
        ::getrlimit(RLIMIT_AS, &rl);
        rl.rlim_cur = static_cast<rlim_t>(used + 256.0 * 1024 * 1024);
        if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(3);
        const MemoryLimit limited = ProcessMemoryLimit();
        const bool ok = limited.addressSpace && limited.bytes > 195.0 * 1024 * 1024 &&
                        limited.bytes < 215.0 * 1024 * 1024;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Memory, SizesForMessages) {
    EXPECT_EQ(MemorySizeText(512), "512 bytes");
    EXPECT_EQ(MemorySizeText(1536.0 * 1024 * 1024), "1.5 GB");
    EXPECT_EQ(MemorySizeText(300.0 * 1024 * 1024), "300 MB");
    EXPECT_EQ(MemorySizeText(3.0 * 1024 * 1024 * 1024 * 1024 * 1024), "3.0 PB");
}
