// The block format of result and surface files, the one writer of their texts, and the
// deletion of a method's file set.
#include <cstddef>

#include "base/Format.h"
#include "platform/TextFile.h"
#include "results/ResultIO.h"
#include "results/TableFile.h"

namespace zelk {

namespace {

const char* const kFileInUse = ". File may be in use by another process. Click Save to try again.";

void AppendBlock(std::string& text, const Matrix& table, const std::string& caption, const StringList& cols,
                 bool rowLabels) {
    if (table.Rows() <= 0 || table.Cols() <= 0) return;
    text += "\n";
    text += caption;
    text += "\n";
    if (!cols.empty()) {
        std::string header = rowLabels ? std::string(13, ' ') : std::string();
        for (size_t k = 0; k < cols.size(); ++k) {
            if (k > 0) header += ' ';
            header += FitRight12(cols[k]);
        }
        text += header;
        text += "\n";
    }
    text.reserve(text.size() + static_cast<size_t>(table.Rows()) * (13 * (table.Cols() + 1) + 1));
    for (int r = 0; r < table.Rows(); ++r) {
        if (rowLabels) {
            // A table with fewer labels than rows gets blank labels rather than none, so
            // that every line keeps its columns.
            const size_t ur = static_cast<size_t>(r);
            text += FitLeft12(ur < cols.size() ? cols[ur] : std::string());
            text += ' ';
        }
        const double* row = table.Row(r);
        for (int c = 0; c < table.Cols(); ++c) {
            if (c > 0) text += ' ';
            AppendReal12(text, row[c]);
        }
        text += "\n";
    }
}

}  // namespace

std::string BlockText(const Matrix& table, const std::string& caption, const StringList& cols, bool rowLabels) {
    std::string text;
    AppendBlock(text, table, caption, cols, rowLabels);
    return text;
}

std::string Cut12(const std::string& name) { return name.size() > 12 ? name.substr(0, 12) : name; }

std::string ResultTablesText(const std::string& dataPath, const std::string& methodTitle, bool create,
                             const Matrix& table, const StringList& cols, const Matrix& table2,
                             const StringList& cols2, bool rowLabels) {
    std::string text;
    if (create) {
        text += "Data: " + dataPath + "\n";
        text += "Method: " + methodTitle + "\n";
    }
    AppendBlock(text, table, table.Name(), cols, false);
    AppendBlock(text, table2, table2.Name(), cols2, rowLabels);
    return text;
}

WriteFault WriteTextFile(const std::string& path, const std::string& text, bool create) {
    if (create) return WriteFileSet({{path, text}}).fault;
    TextWriter out;
    if (!out.Open(path, TextWriter::Mode::AppendExisting)) return WriteFault::Open;
    const bool written = out.Write(text);
    const bool closed = out.Close();
    // The open succeeded but the text did not reach the disk (a full disk, say); the file
    // is cut back to its size before.
    return written && closed ? WriteFault::None : WriteFault::Write;
}

FileSetWrite WriteFileSet(std::vector<std::pair<std::string, std::string>> files, bool wait) {
    AtomicFileSet set(wait);
    for (auto& f : files) set.Add(f.first, std::move(f.second));
    const AtomicFileSet::Result r = set.Commit();
    FileSetWrite out;
    if (r.Ok()) return out;
    out.fault = r.fault == AtomicFileSet::Fault::Open ? WriteFault::Open : WriteFault::Write;
    out.path = r.path;
    out.message = WriteFaultText(r.path, true, out.fault);
    return out;
}

StringList UnwritableFileMessages(const StringList& paths) {
    StringList out;
    for (const std::string& p : paths)
        if (!CanWriteFile(p)) out.push_back(WriteFaultText(p, true, WriteFault::Open));
    return out;
}

std::string WriteFaultText(const std::string& path, bool create, WriteFault fault) {
    const bool created = create && fault == WriteFault::Open;
    return (created ? "Could not create " : "Could not write to ") + path + kFileInUse;
}

void DeleteResultFiles(const std::string& prefix) {
    for (const char* suffix : {".Whist.out", ".Phist.out", ".Dist.out", ".Cov.out", ".CovW.out", ".Ghist.out"})
        DeleteFileIfFree(prefix + suffix);  // absent or held files stay, silently
}

}  // namespace zelk
