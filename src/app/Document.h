// CZELKDoc: the one document. It owns every buffer, grouped by subsystem, and the
// operations that change them; its member functions live in app/, one file per concept.
// The run machines (runs/), the file formats (results/) and the data layer (data/) know
// nothing of it: the document hands them what they need and acts on what they return.
#pragma once

#include <string>

#include "app/CommandLine.h"
#include "app/DisplayState.h"
#include "app/Options.h"
#include "app/RunState.h"
#include "app/SurfaceState.h"
#include "base/Lists.h"
#include "data/DataSet.h"
#include "data/Prepared.h"
#include "platform/Platform.h"
#include "results/ResultFiles.h"
#include "runs/NrtState.h"
#include "runs/Replay.h"
#include "runs/RunTrack.h"
#include "runs/SurfaceScan.h"

namespace zelk {

class CZELKDoc {
public:
    // Seeds the random generator with the time and reads the options file.
    explicit CZELKDoc(Platform& platform, bool readOptions = true);
    // Stops every run and joins the pacing threads.
    ~CZELKDoc();
    CZELKDoc(const CZELKDoc&) = delete;
    CZELKDoc& operator=(const CZELKDoc&) = delete;

    Platform& platform;

    Options opt;
    CommandLine cmd;
    int bNoData = 1;
    DataSet data;
    Prepared prep;
    RunStates runs;
    NrtState nrt;
    RunTrack track;
    ScanState scan;
    ReplayState replay;
    ResultFiles res;
    SurfaceState surf;
    DisplayState disp;

    // Process exit status for batch and headless runs: 0 only when the run finished.
    int iExitCode = 0;
    // A batch run was started by the batch trigger (so a later empty document means it
    // ended without finishing).
    int bBatchRunStarted = 0;
    // A batch run finished its last step (batch completion).
    int bBatchFinished = 0;
    // Files written by the last finished run, for the headless summary, and the files it
    // could not write (their previous contents are unchanged).
    StringList asFilesWritten;
    StringList asFilesNotWritten;
    // The seed of the random restarts of the last Newton-Raphson run (IRANDSEED, or the
    // time when that is 0): setting IRANDSEED to it repeats the run.
    unsigned uRandSeed = 0;
    // Counts every Fatal() call (tests and the step loop look at it).
    int iFatalCount = 0;

    // Stepping: one step works for about iStepBudgetMs milliseconds on a batch of pairs,
    // triples or grid points; bOneItemPerStep makes every batch one item (tests).
    int iStepBudgetMs = 10;
    int bOneItemPerStep = 0;
    // Tests: commands start no pacing thread; the test sends the step messages itself.
    int bManualStepping = 0;

    // --- messages and the error path (Document.cpp)
    MsgAnswer Message(const std::string& text, MsgIcon icon = MsgIcon::Stop,
                      MsgButtons buttons = MsgButtons::Ok);
    // Stop-icon box, then OnNewDocument (which also stops every run).
    void Fatal(const std::string& text);
    // Every view draws at once; a consistency failure the draw met is then reported.
    void RedrawAllViews() {
        platform.RedrawAllViews();
        ReportDrawFault();
    }
    // The view never empties the document in the middle of a draw: it notes the failure in
    // disp.sDrawFault and abandons the draw; this shows it and empties the document once
    // the draw has returned (a no-op when there is none).
    void ReportDrawFault();

    // --- lifecycle (DocumentLifecycle.cpp)
    bool OnNewDocument();
    bool OnOpenDocument(const std::string& path);
    // Reads the process command line into `cmd`; false (after its message and the
    // close request) when "-NRT" and "-SUT" are both given.
    bool ReadCommandLine();

    // --- options (OptionsReader.cpp)
    void ReadOptionsFile();

    // --- loading a data set (DocumentLoad.cpp)
    bool LoadDataFile(const std::string& path);
    bool CheckValueTypes();
    bool PrepareData();
    void CheckInitW();
    bool LoadResultFiles();
    // The surface file beside the data file (SurfaceLoad.cpp).
    bool LoadSurfaceFile();
    void SetupSurfaceGrid();
    // After the surface-file check and the grid set-up; false (after its message and
    // the reset) when the load must fail.
    bool FillSurfaceAfterLoad();
    // Refills the colour column of the surface from the scale, the contrast and the slice
    // mode (SurfaceColours.cpp); the controls that change them call it, never a draw.
    void RecomputeSurfaceColours();

    // --- run control (RunControl.cpp, Pacing.cpp, BatchControl.cpp)
    void RunReset();
    void StartPacingThread(int runKind);
    // Ends the previous pacing thread of a kind (waits for it, delivering its pending
    // send); a command calls it before it marks its run as running.
    void EndPacingThread(int runKind);
    // The view's handlers of the private step messages. A step that runs out of memory
    // ends its run with kOutOfMemoryText (and the document is emptied).
    void OnStepMessage(RunMessage msg);
    // Clears every run, lets pending sends drain and joins the pacing threads.
    void StopAllRunsAndJoin();
    // Called at the start of every repaint; true when the repaint must draw nothing.
    bool BatchTrigger();
    // Called by the last step of a Newton-Raphson run or a surface scan.
    void BatchCompletion(int runKind);
    bool AnyRunActive() const;

    // --- the commands (NrtCommand.cpp, SurfaceCommand.cpp, ReplayCommand.cpp,
    //     CancelCommand.cpp)
    void OnAnalyzeNrt();
    void NrtStep();
    void OnAnalyzeSurface();
    void ScanSurfaceStep();
    void OnAnalyzeNrtReplay();
    void ReplayNrtStep();
    // Escape: asks and, on OK, stops the active run; during a pick of a held run it ends
    // the pick instead.
    void OnCancelKey();

    // --- what the keys and the mouse change in the document (MapControls.cpp); the view's
    //     controls (view/Controls.cpp) decide when they apply.
    // Holds the active Newton-Raphson run, else the active replay (neither is stepped while
    // held); Release clears the same flag. The surface scan is never held this way.
    void HoldActiveRun();
    void ReleaseActiveRun();
    // bRedrawAll, then every view draws.
    void RedrawAll();
    // The slice position on the grid 1, 5, 10, ..., 1000; false at the end (or without a
    // slice mode).
    bool SliceForward();
    bool SliceBackward();
    // The slice mode from -1 (every point) over 0 (by Lu level) to K (by weight K).
    void NextSliceMode();
    void PreviousSliceMode();
    // Log(Lu), Pow(Lu,x), Lu, " ", 1, and back to Log(Lu) when a surface is loaded.
    void NextColourScale();
    // ]: starts the auto-scan (speed -1) or makes it one faster; [: one slower, or stops it
    // at speed 1.
    void AutoScanFaster();
    void AutoScanSlower();
    // One step of the auto-scan: the slice moves on, turning round at either end.
    void AutoScanStep();
    // The weights picked on the map: a running optimiser starts its next iteration there.
    // False when no run took them.
    bool MovePickedStart(const Matrix& w);
    // The end of a pick (button released): the picked point is kept and the run goes on.
    void EndPick();

    // --- result files (DocumentLoad.cpp)
    // Writes the header (bCreate) and the two published tables; false when the file
    // could not be written (after its message).
    bool WriteTables(const std::string& path, int bCreate, int bRowLabels);

private:
    void StepMessage(RunMessage msg);
    bool OpenDocumentPhases(const std::string& path);
};

// The message of a step or an open that ran out of memory.
extern const char* const kOutOfMemoryText;

}  // namespace zelk
