#include "platform/qt/LongOptions.h"

#include <cstdlib>
#include <cstring>

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace zelk {

namespace {

const char* const kSeeHelp = " (zelk --help lists the options)";

// One side of a picture: digits only, within the bounds; 0 when it is not.
int PictureSide(const std::string& digits) {
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const int v = std::atoi(digits.c_str());
    return v >= kMinPictureSide && v <= kMaxPictureSide ? v : 0;
}

// "WIDTHxHEIGHT" into the options; false when it is not one.
bool ReadPictureSize(const std::string& text, LongOptions& o) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    const int w = PictureSide(text.substr(0, x)), h = PictureSide(text.substr(x + 1));
    if (w == 0 || h == 0) return false;
    o.imageWidth = w;
    o.imageHeight = h;
    return true;
}

// The value of an option given as "--name=value" or as "--name value" (the next argument,
// which is then used up); false when there is none.
bool OptionValue(int argc, char** argv, int& i, const char* name, std::string& value) {
    const size_t n = std::strlen(name);
    const char* a = argv[i];
    if (std::strncmp(a, name, n) != 0) return false;
    if (a[n] == '=') {
        value = a + n + 1;
        return true;
    }
    if (a[n] != '\0') return false;
    // The next argument, unless it is a switch of its own.
    value.clear();
    if (i + 1 < argc && argv[i + 1][0] != '-') value = argv[++i];
    return true;
}

}  // namespace

LongOptions ParseLongOptions(int argc, char** argv) {
    LongOptions o;
    bool sizeGiven = false;
    auto fail = [&o](const std::string& text) {
        if (o.error.empty()) o.error = "zelk: " + text + kSeeHelp;
    };
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (i == 0 || std::strncmp(a, "--", 2) != 0) {
            o.args.emplace_back(a);
            continue;
        }
        std::string value;
        if (std::strcmp(a, "--headless") == 0) {
            o.headless = true;
        } else if (std::strcmp(a, "--json") == 0) {
            o.json = true;
        } else if (OptionValue(argc, argv, i, "--image-size", value)) {
            sizeGiven = true;
            if (!ReadPictureSize(value, o))
                fail("--image-size takes WIDTHxHEIGHT in pixels, each from " + std::to_string(kMinPictureSide) +
                     " to " + std::to_string(kMaxPictureSide) + " (for example 1600x1000)");
        } else if (OptionValue(argc, argv, i, "--image", value)) {
            if (value.empty())
                fail("--image needs the name of the PNG file to write");
            else
                o.image = value;
        } else if (std::strcmp(a, "--help") == 0) {
            o.help = true;
        } else if (std::strcmp(a, "--version") == 0) {
            o.version = true;
        } else {
            fail(std::string("unknown option ") + a);
        }
    }
    if (!o.help && !o.version) {
        if (o.json && !o.headless) fail("--json needs --headless");
        if (!o.image.empty() && !o.headless) fail("--image needs --headless");
        if (sizeGiven && o.image.empty()) fail("--image-size needs --image");
    }
    return o;
}

std::string VersionText() { return std::string("zelk ") + ZELK_VERSION + "\n"; }

std::string HelpText() {
    return "Usage: zelk [DATAFILE] [-NRT | -SUT] [-W=NAME] [-FWGT]\n"
           "       zelk --headless DATAFILE [-NRT | -SUT] [-W=NAME] [-FWGT] [--json]\n"
           "                       [--image FILE.png [--image-size WxH]]\n"
           "       zelk --help | --version\n"
           "\n"
           "Finds the weights of the variables of a mixed-type data set that make the weighted\n"
           "distances between its records as close as possible to an ultrametric.\n"
           "\n"
           "  DATAFILE    tab-delimited data file to open; its first line names the variables,\n"
           "              whose first letters give their types (C continuous, O ordinal,\n"
           "              N nominal, A asymmetric binary, W sample-weight candidate)\n"
           "  -NRT        batch run: a Newton-Raphson run starts as soon as the data set is\n"
           "              loaded; the result files are written and the program ends\n"
           "  -SUT        batch run: a scan of the loss surface (2 to 4 variables); the\n"
           "              surface file is written and the program ends\n"
           "  -W=NAME     use the W variable NAME of the data file as the sample weight; the\n"
           "              run appends its row to the replicate table DATAFILE.NRT.Wrep.out\n"
           "  -FWGT       a variable of zero range is an error even with a sample weight;\n"
           "              with -W=, also write the six result files and start a new\n"
           "              replicate table with its header line\n"
           "  --headless  run without a window: messages go to stderr, questions take the\n"
           "              safe answer, progress goes to stderr and a summary to stdout\n"
           "  --json      with --headless: print the summary as one JSON object\n"
           "  --image FILE.png\n"
           "              with --headless: write a PNG picture of what the window shows (text\n"
           "              panel, surface map, run markers): with -SUT the finished surface,\n"
           "              as the data file shows it when opened again; with -NRT the run's\n"
           "              final state; without a batch switch, the data set as loaded\n"
           "  --image-size WxH\n"
           "              size of the picture in pixels (default 1600x1000; 200 to 8192 a side)\n"
           "  --help      print this help and exit\n"
           "  --version   print the version and exit\n"
           "\n"
           "The single-dash switches are case-insensitive; -NRT and -SUT exclude each other;\n"
           "other single-dash words are ignored. Without a display, use --headless.\n"
           "\n"
           "Options are read once at start from ZELK.ini in the current directory, one\n"
           "KEY=value a line (for example IMAXITER=100); when it cannot be read, a warning\n"
           "is shown and every option keeps its default. zelk(1) lists the keys.\n"
           "\n"
           "Files written beside the data file (its full name followed by):\n"
           "  .NRT.Whist.out  iterations, convergence, final Lu, W history\n"
           "  .NRT.Phist.out  PreSet(w) history\n"
           "  .NRT.Ghist.out  Gradient(v) history\n"
           "  .NRT.Cov.out    Cov(v)\n"
           "  .NRT.CovW.out   Cov(w)\n"
           "  .NRT.Dist.out   weighted distance matrix of the last iteration\n"
           "  .NRT.Wrep.out   one row per run with -W=NAME\n"
           "  .SuT.out        surface scan (.DSSuT.out with BDESOETESURFACE=1)\n"
           "\n"
           "Exit status:\n"
           "  0  the data set was loaded (no batch switch), or the batch run finished\n"
           "  1  a load error, a refused command, a fatal error, a batch run that ended\n"
           "     without finishing, or a file (result, surface, picture) not written\n"
           "  2  a usage error: an unknown --option, --json or --image without\n"
           "     --headless, a bad --image-size, an --image that would replace the data\n"
           "     file or one of its result files, --headless without a data file, or no\n"
           "     display for the window\n";
}

}  // namespace zelk
