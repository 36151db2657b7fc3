// Batch runs from the command line: the trigger at each repaint and the completion at
// the end of the run.
#include "app/Document.h"

namespace zelk {

namespace {

// Starts the batch run of one kind once. A run that cannot start (the command refused
// with its message) or that ended without finishing (a fatal error emptied the
// document) closes the application with a failure status instead of retrying at
// every repaint.
void TriggerOnce(CZELKDoc& doc, int kind) {
    if (doc.bBatchRunStarted) {
        if (doc.iExitCode == 0) doc.iExitCode = 1;
        doc.platform.RequestClose();
        return;
    }
    // Started with a switch but no data set yet: the first file opened is analysed.
    if (doc.bNoData) return;
    doc.bBatchRunStarted = 1;
    if (kind == kRunSurface)
        doc.OnAnalyzeSurface();
    else
        doc.OnAnalyzeNrt();
    if (!doc.runs.Get(kind).bRunning && !doc.bBatchFinished) {
        if (doc.iExitCode == 0) doc.iExitCode = 1;
        doc.platform.RequestClose();
    }
}

}  // namespace

bool CZELKDoc::BatchTrigger() {
    if (cmd.iBatchSUT == 2 || cmd.iBatchNRT == 2) {
        platform.RequestClose();
        return true;
    }
    if (cmd.iBatchSUT == 1 && !runs.rsSurface.bRunning) {
        TriggerOnce(*this, kRunSurface);
        return true;
    }
    if (cmd.iBatchNRT == 1 && !runs.rsNRT.bRunning) {
        TriggerOnce(*this, kRunNRT);
        return true;
    }
    return false;
}

void CZELKDoc::BatchCompletion(int kind) {
    int& flag = kind == kRunSurface ? cmd.iBatchSUT : cmd.iBatchNRT;
    if (flag != 1) return;
    flag = 2;
    bBatchFinished = 1;
    platform.OnBatchRunEnd(kind);
    OnNewDocument();
}

}  // namespace zelk
