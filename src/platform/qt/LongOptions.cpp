#include "platform/qt/LongOptions.h"

#include <cstring>

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace zelk {

LongOptions ParseLongOptions(int argc, char** argv) {
    LongOptions o;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (i == 0 || std::strncmp(a, "--", 2) != 0) {
            o.args.emplace_back(a);
            continue;
        }
        if (std::strcmp(a, "--headless") == 0) {
            o.headless = true;
        } else if (std::strcmp(a, "--json") == 0) {
            o.json = true;
        } else if (std::strcmp(a, "--help") == 0) {
            o.help = true;
        } else if (std::strcmp(a, "--version") == 0) {
            o.version = true;
        } else if (o.error.empty()) {
            o.error = std::string("zelk: unknown option ") + a + " (zelk --help lists the options)";
        }
    }
    if (o.error.empty() && o.json && !o.headless && !o.help && !o.version)
        o.error = "zelk: --json needs --headless (zelk --help lists the options)";
    return o;
}

std::string VersionText() { return std::string("zelk ") + ZELK_VERSION + "\n"; }

std::string HelpText() {
    return "Usage: zelk [DATAFILE] [-NRT | -SUT] [-W=NAME] [-FWGT]\n"
           "       zelk --headless DATAFILE [-NRT | -SUT] [-W=NAME] [-FWGT] [--json]\n"
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
           "  1  a load error, a refused command, a fatal error, or a batch run that\n"
           "     ended without finishing\n"
           "  2  a usage error: an unknown --option, --json without --headless,\n"
           "     --headless without a data file, or no display for the window\n";
}

}  // namespace zelk
