// Writing the text of result and surface files: one whole text per call, under the file's
// lock, with the messages the program shows when a file cannot be written.
#pragma once

#include <string>

namespace zelk {

enum class WriteFault { None, Open, Write };

// Writes `text` to `path`: create (or truncate) it when `create`, else append to the
// existing file.
WriteFault WriteTextFile(const std::string& path, const std::string& text, bool create);

// "Could not create <path>. ..." when the open of a create failed, else "Could not write
// to <path>. ...".
std::string WriteFaultText(const std::string& path, bool create, WriteFault fault);

}  // namespace zelk
