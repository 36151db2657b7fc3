// The start screen: the notes block shown while no data set is loaded.
#include "platform/Canvas.h"
#include "view/View.h"

namespace zelk {

namespace {

struct NoteLine {
    int y;
    const char* text;
};

const NoteLine kNotes[] = {
    {130, "NOTES:"},
    {150, "1. To begin, choose File->Open to open an existing dataset. This can have any file "
          "extension, though I prefer to use .dat."},
    {170, "2. Choose File->New to clear a dataset from the program's memory (this will not erase "
          "the data file from your hard drive)."},
    {190, "3. Some commands may not work after switching between data files or encountering an "
          "error, unless you select File->New to clear the memory before loading the new data "
          "file."},
    {210, "4. This application is not multi-threaded. Therefore, on a multi-core CPU (most "
          "computers today), you might run many simultaneous instances with no decrease in "
          "performance."},
    {230, "5. Changing bAlwaysUpdateAll=0 to bAlwaysUpdateAll=1 in ZELK.ini may result in clearer "
          "graphs, however at the expense of smoother animations."},
    {250, "6. There is no print capability in ZELK-MD. Most textual output is written to text "
          "files which can be copied or printed. To print graphs, use your keyboard's Print "
          "Screen button"},
    {270, "   (this copies the current display into memory), then paste directly into a word "
          "processor, or first into a graphic editor like Paint to select the relevant portions."},
    {310, "8. For additional keys and command line parameters not all necessarily listed in the "
          "user's guide, see \"ZELK-MD Additional Commands.txt\" that came with your software."},
    {350, "No dataset loaded."},
};

}  // namespace

void DrawStartScreen(Canvas& canvas) {
    canvas.FillRect(canvas.ClipBox(), kWhite);
    for (const NoteLine& line : kNotes) canvas.Text(10, line.y, line.text);
}

}  // namespace zelk
