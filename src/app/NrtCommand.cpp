// The Newton-Raphson command: it starts the run, adapts each step of the run machine to
// the document, writes the heading and result files and reports the end of the run.
#include "app/NrtCommand.h"

#include <ctime>
#include <functional>

#include "app/Document.h"
#include "app/RunMemoryCheck.h"
#include "base/Format.h"
#include "results/NrtFiles.h"
#include "results/TableFile.h"
#include "runs/NrtRun.h"

namespace zelk {

std::string NrtRefusalText(const CZELKDoc& doc) {
    if (doc.data.iNumVar < 2)
        return "Newton-Raphson needs at least two analysis variables. This data set has one, "
               "so its weight is fixed at 1 and there is nothing to optimise.";
    if (doc.data.iNumRec < 3)
        return Format("Newton-Raphson needs at least three records. This data set has %d, so "
                      "there is no triple of records to measure the ultrametric loss on.",
                      doc.data.iNumRec);
    if (doc.opt.iSDStepsToNR > 0)
        return Format("ISDSTEPSTONR=%d holds the Newton-Raphson run before its first step and "
                      "nothing advances it. Set ISDSTEPSTONR=0 in ZELK.ini to run.",
                      doc.opt.iSDStepsToNR);
    if (doc.opt.bCalib && doc.data.iNumA == 0)
        return "Calibration (BCALIB=1) scales the C, O and N multipliers to the average weight "
               "of the A variables, but this data set has no A variable. Set BCALIB=0 in "
               "ZELK.ini to run without calibration.";
    return NrtMemoryRefusal(doc);
}

namespace {

// The six table files are written only when no sample-weight variable was named or "-FWGT"
// was given; the Wrep file only when a weight variable was named.
bool WriteSixFiles(const CZELKDoc& doc) { return doc.cmd.sWeightVar == " " || doc.cmd.bFWGT == 1; }
bool WriteWrep(const CZELKDoc& doc) { return doc.cmd.sWeightVar != " "; }

void PathsInto(ResultFiles& res, const NrtPaths& p) {
    res.sWhistPath = p.sWhistPath;
    res.sPhistPath = p.sPhistPath;
    res.sGhistPath = p.sGhistPath;
    res.sDistPath = p.sDistPath;
    res.sCovPath = p.sCovPath;
    res.sCovWPath = p.sCovWPath;
    res.sWrepPath = p.sWrepPath;
}

NrtPaths PathsOf(const ResultFiles& res) {
    NrtPaths p;
    p.sWhistPath = res.sWhistPath;
    p.sPhistPath = res.sPhistPath;
    p.sGhistPath = res.sGhistPath;
    p.sDistPath = res.sDistPath;
    p.sCovPath = res.sCovPath;
    p.sCovWPath = res.sCovWPath;
    p.sWrepPath = res.sWrepPath;
    return p;
}

// The first step: the result tables emptied, the method text, the seven paths and, under
// the write rule, the check that each of the six table files can be written at the end
// (nothing is written now: the previous results stay whole until the new ones replace
// them). False, after the messages, when a file cannot be written.
bool FirstStepWrites(CZELKDoc& doc) {
    RunTrack& t = doc.track;
    t.ClearTables();
    t.sMethodTitle = "Newton-Raphson T";
    const NrtPaths paths = NrtPathsFor(doc.data.sDataPath);
    PathsInto(doc.res, paths);
    doc.asFilesWritten.clear();
    doc.asFilesNotWritten.clear();
    if (!WriteSixFiles(doc)) return true;
    const StringList faults = UnwritableFileMessages(
        {paths.sPhistPath, paths.sGhistPath, paths.sWhistPath, paths.sCovWPath, paths.sCovPath, paths.sDistPath});
    for (const std::string& text : faults) doc.Message(text);
    return faults.empty();
}

struct EndWrites {
    bool setWritten = true;  // the six files (when the write rule asks for them)
    bool wrepWritten = true;
};

// The end-of-run files. Records the files written and those not written.
EndWrites EndOfRunWrites(CZELKDoc& doc) {
    const NrtState& s = doc.nrt;
    const RunTrack& t = doc.track;
    const ResultFiles& res = doc.res;
    const StringList names = doc.data.AnalysisNames();
    doc.asFilesWritten.clear();
    doc.asFilesNotWritten.clear();
    EndWrites out;

    if (WriteSixFiles(doc)) {
        NrtRecord rec;
        rec.dataPath = doc.data.sDataPath;
        rec.names = names;
        rec.iterations = s.iIter - 1;
        rec.converged = s.bConverged;
        rec.lut = t.dDispLu;
        rec.covW = &t.mCovW;
        rec.covV = &t.mCovV;
        rec.dist = &s.mLastDist;
        rec.luHist = &t.mLuHist;
        rec.wHist = &t.mWHist;
        rec.gHist = &t.mGHist;
        rec.pHist = &t.mPHist;
        rec.finalV2 = &s.mFinalV2;
        rec.avgW = s.adFinalAvgW;
        rec.orgEqFactMult = doc.opt.dOrgEqFactMult;
        rec.eqFactMult = doc.opt.dEqFactMult;
        // All six or none: a set that mixes two runs is never left behind.
        const NrtPaths paths = PathsOf(res);
        const FileSetWrite w = WriteNrtFileSet(paths, NrtResultTexts(rec));
        out.setWritten = w.Ok();
        if (!w.Ok()) doc.Message(w.message);
        (w.Ok() ? doc.asFilesWritten : doc.asFilesNotWritten) = NrtSetPaths(paths);
    }

    if (WriteWrep(doc)) {
        const bool create = doc.cmd.bFWGT == 1;
        const int last = t.mWHist.Rows() - 1;
        RealList w;
        double lu = 0;
        if (last >= 0) {
            lu = t.mLuHist.Get(last, 0);
            for (int k = 0; k < t.mWHist.Cols(); ++k) w.push_back(t.mWHist.Get(last, k));
        }
        const std::string text =
            (create ? WrepHeader(names) : std::string()) + WrepRow(doc.cmd.sWeightVar, s.bConverged, lu, w);
        const std::string failure = WriteWrepRow(res.sWrepPath, create, text);
        out.wrepWritten = failure.empty();
        if (!failure.empty()) doc.Message(failure, MsgIcon::Stop, MsgButtons::Ok);
        (failure.empty() ? doc.asFilesWritten : doc.asFilesNotWritten).push_back(res.sWrepPath);
    }
    return out;
}

// The run has finished: its files, its outcome for the summary, the end of the run and the
// final message.
void FinishRun(CZELKDoc& doc) {
    const RunTrack& t = doc.track;
    const EndWrites written = EndOfRunWrites(doc);

    // The outcome stays readable after the batch reset below.
    const int last = t.mWHist.Rows() - 1;
    doc.cmd.bLastRunConverged = doc.nrt.bConverged;
    doc.cmd.dLastRunLu = last >= 0 ? t.mLuHist.Get(last, 0) : t.dDispLu;
    doc.cmd.adLastRunW = last >= 0 ? RealList(t.mWHist.Row(last), t.mWHist.Row(last) + t.mWHist.Cols())
                                   : ToList(doc.nrt.mCurW);
    doc.cmd.asLastRunNames = doc.data.AnalysisNames();
    doc.cmd.sLastRunCalibFailure = doc.nrt.sCalibFailure;
    doc.cmd.uLastRunSeed = doc.uRandSeed;
    doc.cmd.iLastRunIter = doc.nrt.iIter - 1;
    doc.cmd.dLastRunElapsedSec = doc.runs.rsNRT.dElapsedSec.load();
    // A calibration that did not settle is a run that failed its purpose: a batch run ends
    // with a failure status (its files are written all the same).
    if (!doc.nrt.sCalibFailure.empty() && (doc.cmd.iBatchNRT != 0 || doc.platform.IsHeadless()))
        doc.iExitCode = 1;

    doc.runs.rsNRT.bRunning = 0;
    // A file that could not be written fails a batch run.
    const bool batch = doc.cmd.iBatchNRT != 0 || doc.platform.IsHeadless();
    if ((!written.wrepWritten || !written.setWritten) && batch) doc.iExitCode = 1;
    if (!written.wrepWritten) {
        // The Wrep row could not be written: no final message; a batch run ends with a
        // failure status at the next repaint.
        return;
    }
    if (doc.cmd.iBatchNRT == 1) {
        doc.BatchCompletion(kRunNRT);
        return;
    }
    std::string text = written.setWritten ? NrtFinalMessage(PathsOf(doc.res), doc.nrt.bConverged)
                                          : NrtNotWrittenMessage(PathsOf(doc.res), doc.nrt.bConverged);
    if (!doc.nrt.sCalibFailure.empty())
        text += "\n\nCalibration of the multipliers did not settle: " + doc.nrt.sCalibFailure + ".";
    doc.Message(text, written.setWritten ? MsgIcon::Information : MsgIcon::Stop, MsgButtons::Ok);
}

}  // namespace

void CZELKDoc::OnAnalyzeNrt() {
    if (runs.rsNRT.bRunning || runs.rsSurface.bRunning || bNoData) return;
    const std::string refusal = NrtRefusalText(*this);
    if (!refusal.empty()) {
        Message(refusal, MsgIcon::Stop, MsgButtons::Ok);
        if (cmd.iBatchNRT != 0 || cmd.iBatchSUT != 0 || platform.IsHeadless()) iExitCode = 1;
        return;
    }
    // The command empties the loaded histories that a replay plays: the replay ends.
    runs.rsNRTReplay.bRunning = 0;
    EndPacingThread(kRunNRT);

    RunReset();
    nrt.iRestart = 0;
    nrt.mBestW.Clear();
    nrt.mPerturb.Clear();
    nrt.dBestLu = -1;
    RunState& rs = runs.rsNRT;
    rs.bRunning = 1;
    nrt.sRunMethod = "NRT";

    res.mNrtWhist.Clear();
    res.mNrtGhist.Clear();
    res.mNrtPhist.Clear();
    res.mNrtCovV.Clear();
    res.mNrtCovW.Clear();
    res.sNrtWhistFile.clear();
    res.sNrtGhistFile.clear();
    res.sNrtPhistFile.clear();
    res.sNrtCovFile.clear();
    res.sNrtCovWFile.clear();

    // Each run draws its restarts from a generator seeded with IRANDSEED, or with the time
    // when that is 0; the seed is reported so that any run can be repeated.
    uRandSeed = opt.iRandSeed != 0 ? static_cast<unsigned>(opt.iRandSeed) : static_cast<unsigned>(std::time(nullptr));
    platform.SeedRand(uRandSeed);

    rs.dwStartTick = platform.TickCount();
    rs.dElapsedSec = 0;
    rs.dRemainingSec = 0;
    rs.dPercent = 0;
    rs.SetTexts(std::string(), std::string());

    nrt.iMaxIterRun = opt.iMaxIterBudget;
    rs.iProgressMax = opt.iMaxIterBudget;
    rs.bViewTarget = 1;
    StartPacingThread(kRunNRT);
}

void CZELKDoc::NrtStep() {
    if (bNoData == 1) {
        Fatal("No data to analyze!");
        return;
    }
    RunState& rs = runs.rsNRT;
    NrtContext ctx{data, prep, opt.dEqFactMult, opt.dLastEqFactMult, opt.dOrgEqFactMult, RangeRule(), NrtSettings(),
                   [this] { return platform.Rand(); }};
    ctx.rangeRule.eqFactMult = opt.dEqFactMult;
    ctx.rangeRule.rangePow = opt.dRangePow;
    ctx.rangeRule.keepZeroRangeAsOne = cmd.sWeightVar != " " && cmd.bFWGT == 0;
    NrtSettings& set = ctx.settings;
    set.iMaxIterBudget = opt.iMaxIterBudget;
    set.dConvCrit = opt.dConvCrit;
    set.dMinValidW = opt.dMinValidW;
    set.dMaxRandRestartDist = opt.dMaxRandRestartDist;
    set.iNumRandRestart = opt.iNumRandRestart;
    set.bCalib = opt.bCalib;
    set.iSDStepsToNR = opt.iSDStepsToNR;
    set.asInitW = opt.asInitW;
    set.iStepBudgetMs = iStepBudgetMs;
    set.bOneItemPerStep = bOneItemPerStep != 0;

    NrtRun run(nrt, track, ctx);
    if (run.AtSetUp() && !FirstStepWrites(*this)) {
        // The results could not be saved: the run stops before its work, the data stay.
        rs.bRunning = 0;
        if (cmd.iBatchNRT != 0 || platform.IsHeadless()) iExitCode = 1;
        return;
    }
    NrtInput in;
    in.paused = rs.bPaused != 0;
    in.forced = rs.bStepRequest != 0;
    in.stopRequest = rs.bStopRequest != 0;
    const NrtOutcome out = run.Step(in);
    if (out.forcedStepTaken) rs.bStepRequest = 0;
    rs.iProgress = nrt.iIter;
    switch (out.kind) {
        case NrtOutcome::Kind::Failed:
            Fatal(out.message);
            return;
        case NrtOutcome::Kind::EndedWithoutResults:
            OnNewDocument();
            return;
        case NrtOutcome::Kind::Finished:
            FinishRun(*this);
            if (!bNoData) RedrawAllViews();  // the panel without the run's progress
            return;
        case NrtOutcome::Kind::Idle:
            // A step after the finish (whose writes are made once) only ends the run.
            if (nrt.bFinished) rs.bRunning = 0;
            return;
        case NrtOutcome::Kind::Continue:
            break;
    }
    if (out.redraw) {
        // Inside an iteration only its percentage changes: the view redraws just that.
        disp.bProgressOnly = out.progressOnly ? 1 : 0;
        RedrawAllViews();
        disp.bProgressOnly = 0;
    }
    if (bNoData) return;
    if (out.requestForcedStep) rs.bStepRequest = 1;
}

}  // namespace zelk
