// Deterministic mutations of a real data file fed through the open sequence: each one
// either loads or fails with one of the loader's messages and leaves an empty document.
#include <cstdint>
#include <cstdio>
#include <set>

#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

// A small deterministic generator (the same sequence on every platform).
struct Lcg {
    std::uint64_t s;
    explicit Lcg(std::uint64_t seed) : s(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
    std::uint32_t Next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(s >> 33);
    }
    size_t Below(size_t n) { return n == 0 ? 0 : Next() % n; }
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

std::string Mutate(std::string text, Lcg& g) {
    const int count = g.Below(5) < 3 ? 1 : 2 + static_cast<int>(g.Below(2));
    for (int m = 0; m < count; ++m) {
        const size_t pos = g.Below(text.size() + 1);
        switch (g.Below(12)) {
            case 0:  // byte flip
                if (!text.empty()) text[g.Below(text.size())] = static_cast<char>(g.Below(256));
                break;
            case 1:  // truncation
                text.resize(pos);
                break;
            case 2: text.insert(pos, 1, '\t'); break;
            case 3: text.insert(pos, 1, ' '); break;
            case 4: text.insert(pos, 1, '\0'); break;
            case 5: text.insert(pos, 1, '\r'); break;
            case 6: {  // duplicate a line
                auto lines = SplitLines(text);
                if (!lines.empty()) {
                    const size_t i = g.Below(lines.size());
                    lines.insert(lines.begin() + static_cast<long>(g.Below(lines.size() + 1)), lines[i]);
                }
                text = JoinLines(lines);
                break;
            }
            case 7: {  // remove a line
                auto lines = SplitLines(text);
                if (!lines.empty()) lines.erase(lines.begin() + static_cast<long>(g.Below(lines.size())));
                text = JoinLines(lines);
                break;
            }
            case 8: {  // a long line
                auto lines = SplitLines(text);
                std::string longLine;
                const size_t fields = 1 + g.Below(5000);
                for (size_t k = 0; k < fields; ++k) longLine += (k ? "\t" : "") + std::to_string(g.Below(100));
                lines.insert(lines.begin() + static_cast<long>(g.Below(lines.size() + 1)), longLine);
                text = JoinLines(lines);
                break;
            }
            case 9: {  // a field replaced by special text
                static const char* const kFields[] = {"nan", "-9999999", "-9999999.0000005", "-1", "1e308",
                                                      "-1e308", "inf", "", "2", "0", "x", "99999999999"};
                const size_t tab = text.find('\t', pos);
                if (tab != std::string::npos) {
                    size_t end = text.find_first_of("\t\n", tab + 1);
                    if (end == std::string::npos) end = text.size();
                    text.replace(tab + 1, end - tab - 1, kFields[g.Below(12)]);
                }
                break;
            }
            case 10: {  // a name changed to another type letter
                static const char kLetters[] = "CONSAWXc";
                const size_t tab = text.find('\t', g.Below(60));
                if (tab != std::string::npos && tab + 1 < text.size() && tab < text.find('\n'))
                    text[tab + 1] = kLetters[g.Below(8)];
                break;
            }
            default:  // random junk
                for (size_t k = 0, n = g.Below(40); k < n; ++k)
                    text.insert(std::min(pos, text.size()), 1, static_cast<char>(g.Below(256)));
                break;
        }
    }
    return text;
}

const char* const kKnownPrefixes[] = {
    "Could not read from ",
    "<2 data records found in ",
    "Invalid control record in data file",
    "Data file contains one or more SPACE characters. File must be tab-delimited.",
    "Invalid data file (",
    "Weight variable ",
    "Invalid data record in data file (length=0).",
    "Invalid data file. One or more records contains a number of tokens inconsistent",
    "Restricted value in type C variable ",
    "Fatal error 2007.10.13.4 (",
    "Invalid data or sample weight (Record==",
    "<2 data records with weight>0 found in ",
    "Error: Type ",
    "Error: Variable ",
};

// The index of the message's known prefix, or -1.
int KnownMessage(const std::string& text) {
    int i = 0;
    for (const char* p : kKnownPrefixes) {
        if (text.compare(0, std::char_traits<char>::length(p), p) == 0) return i;
        ++i;
    }
    return -1;
}

TEST(LoadFuzz, MutatedFlowerFilesLoadOrFailCleanly) {
    const std::string flower = loadtest::ReadAll(std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat");
    ASSERT_FALSE(flower.empty());
    LoadFixture f;
    int loaded = 0, failed = 0;
    std::set<int> kinds;
    for (std::uint64_t seed = 1; seed <= 400; ++seed) {
        Lcg g(seed);
        const std::string text = Mutate(flower, g);
        // Some cases with a weight switch, so that W names and weights take part.
        f.doc.cmd = CommandLine();
        f.pf.commandLine = seed % 5 == 0 ? "zelk -W=W_A" : seed % 7 == 0 ? "zelk -W=" : "zelk";
        const bool ok = f.Open(text);
        if (ok) {
            ++loaded;
            EXPECT_EQ(f.doc.bNoData, 0) << seed;
            EXPECT_GE(f.doc.data.iNumRec, 2) << seed;
            EXPECT_GE(f.doc.data.iNumVar, 1) << seed;
            EXPECT_EQ(static_cast<int>(f.doc.prep.Scales().size()), f.doc.data.iNumVar) << seed;
            for (int t = 0; t < kNumTypes; ++t) {
                const Matrix& m = f.doc.data.Data(t);
                if (f.doc.data.Count(t) > 0) {
                    EXPECT_EQ(m.Rows(), f.doc.data.iNumRec) << seed;
                    EXPECT_EQ(m.Cols(), f.doc.data.Count(t)) << seed;
                }
            }
            EXPECT_EQ(f.doc.data.mWeight.Rows(), f.doc.data.iNumRec) << seed;
        } else {
            ++failed;
            ASSERT_FALSE(f.pf.boxes.empty()) << seed;
            const int kind = KnownMessage(f.pf.LastBox());
            EXPECT_GE(kind, 0) << seed << ": " << f.pf.LastBox().substr(0, 300);
            kinds.insert(kind);
            EXPECT_TRUE(f.Empty()) << seed;
        }
    }
    // The mutations reach both outcomes.
    EXPECT_GT(loaded, 10);
    EXPECT_GT(failed, 100);
    EXPECT_GE(kinds.size(), 8u);
    std::printf("%d loaded, %d failed with %zu kinds of message\n", loaded, failed, kinds.size());
    // The untouched file still loads afterwards.
    f.doc.cmd = CommandLine();
    f.pf.commandLine = "zelk";
    EXPECT_TRUE(f.Open(flower)) << f.pf.LastBox();
}

}  // namespace
}  // namespace zelk
