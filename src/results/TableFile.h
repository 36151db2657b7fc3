// Writing the text of result and surface files: one whole text per call, under the file's
// lock, with the messages the program shows when a file cannot be written. A file that is
// created replaces the old one all-or-nothing: a failed write leaves the old file as it
// was.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/Lists.h"

namespace zelk {

enum class WriteFault { None, Open, Write };

// Writes `text` to `path`: replace the file (or create it) when `create`, else append to
// the existing file.
WriteFault WriteTextFile(const std::string& path, const std::string& text, bool create);

// The outcome of writing a set of files.
struct FileSetWrite {
    WriteFault fault = WriteFault::None;
    std::string path;     // the file that could not be written
    std::string message;  // its "Could not create" / "Could not write to" message
    bool Ok() const { return fault == WriteFault::None; }
};

// Replaces every file of the set with its text, all or nothing: when any file cannot be
// written, none of them changes. With `wait`, the lock of a file that another process
// holds for an append is awaited.
FileSetWrite WriteFileSet(std::vector<std::pair<std::string, std::string>> files, bool wait = false);

// The check at a run's first step that each of the files can be written at its end, so
// that a run that could not save stops before its work: the "Could not create" messages of
// the files that cannot (empty when all can).
StringList UnwritableFileMessages(const StringList& paths);

// "Could not create <path>. ..." when the open of a create failed, else "Could not write
// to <path>. ...".
std::string WriteFaultText(const std::string& path, bool create, WriteFault fault);

}  // namespace zelk
