// The start-up sequence of the application, as logic that runs without a window: find
// the file named on the command line, open it or make an empty document, and show the
// main window in the state that fits.
#pragma once

#include <string>
#include <vector>

namespace zelk {

class CZELKDoc;

// The data file named by the process arguments (args[0] is the program): the first later
// argument that does not start with "-". Every argument that starts with "-" is a switch,
// read later by the open. A "/" starts a path here, not a switch. Empty when none.
std::string FindFileArgument(const std::vector<std::string>& args);

struct StartupResult {
    bool ok = false;        // false: the application ends (the first open failed)
    std::string file;       // full path of the file named on the command line, or empty
};

// Steps of the start: remember the foreground window; open the named file by its full
// path (or make an empty document); on success show the main window minimised (a file
// was named, and the remembered window is made the foreground window again) or
// maximised and in front (no file); then paint it. A failed first open ends the application: the main window is
// never shown.
StartupResult RunStartup(CZELKDoc& doc, const std::vector<std::string>& args);

}  // namespace zelk
