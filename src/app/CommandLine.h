// Command-line state, read again on every open.
#pragma once

#include <string>

namespace zelk {

struct CommandLine {
    int iBatchNRT = 0;  // 0 off; 1 start at the first repaint; 2 finished, close
    int iBatchSUT = 0;
    int bFWGT = 0;
    std::string sWeightVar = " ";  // " " when no "-W=" was given
};

}  // namespace zelk
