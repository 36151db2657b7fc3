#include "app/Document.h"

#include <ctime>

namespace zelk {

CZELKDoc::CZELKDoc(Platform& p, bool readOptions) : platform(p) {
    platform.SeedRand(static_cast<unsigned>(std::time(nullptr)));
    if (readOptions) ReadOptionsFile();
}

CZELKDoc::~CZELKDoc() { StopAllRunsAndJoin(); }

MsgAnswer CZELKDoc::Message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    return platform.MessageBox(text, icon, buttons);
}

void CZELKDoc::Fatal(const std::string& text) {
    ++iFatalCount;
    Message(text, MsgIcon::Stop, MsgButtons::Ok);
    if (cmd.iBatchNRT != 0 || cmd.iBatchSUT != 0 || platform.IsHeadless()) iExitCode = 1;
    OnNewDocument();
}

void CZELKDoc::ReportDrawFault() {
    if (disp.sDrawFault.empty()) return;
    const std::string text = disp.sDrawFault;
    disp.sDrawFault.clear();
    Fatal(text);
}

}  // namespace zelk
