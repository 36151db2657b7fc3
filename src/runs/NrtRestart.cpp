// Random restarts of the Newton-Raphson run: keep the best point found so far and start
// the next descent from a random perturbation of the current point, or, after the last
// restart, from the best point.
#include <cmath>
#include <utility>

#include "runs/NrtRun.h"

namespace zelk {

namespace {

// A perturbation r of w: r_1..r_{p-1} in a random direction with a random length up to
// the largest restart distance, r_p making the sum 0, then r_p swapped with a random
// entry. Drawn until w + r lies within the bounds and sums to p; a point so tight that
// no draw fits within the attempt limit is not perturbed.
RealList DrawPerturbation(const std::function<int()>& rand, const RealList& w, double minW, double maxDist) {
    const int p = static_cast<int>(w.size());
    const double dp = p;
    const double lo = minW, hi = dp - minW;
    const int kMaxAttempts = 100000;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        RealList r(static_cast<size_t>(p), 0.0);
        double len2 = 0;
        for (int k = 0; k < p - 1; ++k) {
            r[k] = rand() * 2.0 / 32767.0 - 1.0;
            len2 += r[k] * r[k];
        }
        if (!(len2 > 0)) continue;
        const double scale = maxDist * (rand() / 32767.0) / std::sqrt(len2);
        double sum = 0;
        for (int k = 0; k < p - 1; ++k) {
            r[k] *= scale;
            sum += r[k];
        }
        r[p - 1] = -sum;
        int t = static_cast<int>(rand() * static_cast<double>(p) / 32768.0);
        if (t < 0) t = 0;
        if (t > p - 1) t = p - 1;
        std::swap(r[p - 1], r[t]);

        bool valid = true;
        double total = 0;
        for (int k = 0; k < p; ++k) {
            const double x = w[k] + r[k];
            total += x;
            if (!(x >= lo && x <= hi)) valid = false;
        }
        if (valid && std::fabs(total - dp) <= 1e-5) return r;
    }
    return RealList(static_cast<size_t>(p), 0.0);
}

}  // namespace

void NrtRun::RandomRestart(NrtOutcome& out) {
    NrtState& s = m_s;
    const NrtSettings& set = m_ctx.settings;
    ++s.iRestart;
    const double lu = s.loss.dLu;
    if (s.dBestLu < -1e-8 || s.dBestLu - 1e-8 > lu) {
        s.mBestW = s.mCurW;
        s.dBestLu = lu;
        s.iBestIndex = s.iRestart - 1;
    } else {
        s.mCurW = s.mBestW;
    }
    const RealList w = ToList(s.mCurW);
    const RealList r = DrawPerturbation(m_ctx.rand, w, set.dMinValidW, set.dMaxRandRestartDist);
    s.mPerturb = ToColumn(r);
    if (s.iRestart >= set.iNumRandRestart + 1) {
        s.mStartW = s.mBestW;
        s.mPresetW = s.mInitW;
    } else {
        RealList start(w.size());
        for (size_t k = 0; k < w.size(); ++k) start[k] = w[k] + r[k];
        s.mStartW = ToColumn(start);
        s.mPresetW = s.mStartW;
    }
    s.phase = NrtPhase::Parameters;
    out.requestForcedStep = true;
    out.redraw = true;
}

}  // namespace zelk
