// The block format of the result files and the readers that check them at load.
// Every result file is a header ("Data: ", "Method: ") followed by blocks: an empty
// line, a caption, a line of 12-character column names and rows of "%12.8f" values.
#pragma once

#include <string>

#include "base/Lists.h"
#include "base/Matrix.h"

namespace zelk {

// The text of one write: the header lines when `create`, then the block of `table`
// and the block of `table2` (each only when it has elements), with row labels taken
// from `cols2` when `rowLabels`. Lines end with "\n".
std::string ResultTablesText(const std::string& dataPath, const std::string& methodTitle, bool create,
                             const Matrix& table, const StringList& cols, const Matrix& table2,
                             const StringList& cols2, bool rowLabels);

// One block with the given caption (the table's own name is not used): for a large table
// that is not to be copied to be renamed.
std::string BlockText(const Matrix& table, const std::string& caption, const StringList& cols, bool rowLabels);

// A variable name as the writers put it into a file: its first 12 characters.
std::string Cut12(const std::string& name);

// Deletes the six files of one method's set (prefix: the data path and ".NRT" or ".SDT");
// a file that is absent or in use stays, silently.
void DeleteResultFiles(const std::string& prefix);

// Outcome of reading one result file at load.
struct ResultRead {
    bool present = false;  // the file could be opened (not absent, not held by another holder)
    // 0 when accepted; else the failed condition: 'A' .. 'G', or '5' for a bad data line
    // of a history file.
    char fault = 0;
    bool Accepted() const { return present && fault == 0; }
};

// What a history file must hold.
struct HistoryKind {
    std::string caption;   // "W history", "Gradient(v) history", "PreSet(w) history"
    int columns = 0;       // K
    std::string lead;      // a first header token before the names ("LU"), or empty
};

// Reads a history block into `out` (R x K, rows in iteration order: the first data line
// of the file goes to the last row). `names` are the expected header names, already cut
// to 12 characters. On any fault `out` is emptied.
ResultRead ReadHistoryFile(const std::string& path, const HistoryKind& kind, const StringList& names,
                           Matrix& out);

// Reads a covariance block (caption starting with `captionPrefix`, K x K with row labels)
// into `out`, rows in file order. `names` as for ReadHistoryFile. On any fault `out` is
// emptied.
ResultRead ReadCovFile(const std::string& path, const std::string& captionPrefix, int columns,
                       const StringList& names, Matrix& out);

}  // namespace zelk
