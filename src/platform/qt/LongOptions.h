// The program's own "--" options (--headless, --json, --image, --image-size, --help,
// --version), read before
// anything else starts. The single-dash switches (-NRT, -SUT, -W=NAME, -FWGT) are not
// read here: the document reads them from the process command line at every open.
#pragma once

#include <string>
#include <vector>

namespace zelk {

// The size of an --image picture without --image-size (the window's own first size), and
// the bounds of either side.
constexpr int kPictureWidth = 1600, kPictureHeight = 1000;
constexpr int kMinPictureSide = 200, kMaxPictureSide = 8192;

struct LongOptions {
    bool headless = false;
    bool json = false;
    // --image FILE (or --image=FILE): the PNG picture of the view to write; its size from
    // --image-size WxH (or --image-size=WxH).
    std::string image;
    int imageWidth = kPictureWidth, imageHeight = kPictureHeight;
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
