// The program's own "--" options (--headless, --json, --help, --version), read before
// anything else starts. The single-dash switches (-NRT, -SUT, -W=NAME, -FWGT) are not
// read here: the document reads them from the process command line at every open.
#pragma once

#include <string>
#include <vector>

namespace zelk {

struct LongOptions {
    bool headless = false;
    bool json = false;
    bool help = false;
    bool version = false;
    // A one-line usage error (an unknown "--" option, or --json without --headless);
    // empty when the command line is usable.
    std::string error;
    // The process arguments without the "--" options: what the document reads as its
    // command line and where the start-up finds the data file.
    std::vector<std::string> args;
};

LongOptions ParseLongOptions(int argc, char** argv);

// The full text of --help and the line of --version.
std::string HelpText();
std::string VersionText();

}  // namespace zelk
