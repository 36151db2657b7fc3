// The surface of a data set at load: the surface file beside it, the grid in force and the
// points the map shows.
#include "app/Document.h"
#include "base/Format.h"
#include "platform/TextFile.h"
#include "results/SurfaceFile.h"
#include "runs/SurfaceGrid.h"

namespace zelk {

bool CZELKDoc::LoadSurfaceFile() {
    const std::string path = SurfaceFilePath(data.sDataPath, opt.bDeSoeteSurface == 1);
    const SurfaceRead read = ReadSurfaceFile(path, data.AnalysisNames(), surf.mSurface);
    if (!read.present) return true;  // absent or in use: no surface file
    if (read.condition == 0) {
        surf.bSurfaceZeroLu = read.bZeroLu ? 1 : 0;
        surf.sSurfaceFile = path;
        return true;
    }
    const MsgAnswer a = Message(Format("Invalid surface file (%d) ", read.condition) + path + ". Delete the file?",
                                MsgIcon::Stop, MsgButtons::OkCancel);
    if (a == MsgAnswer::Ok) DeleteFileIfFree(path);
    OnNewDocument();
    return false;
}

void CZELKDoc::SetupSurfaceGrid() {
    const double steps[3] = {opt.dSurfaceByW2Vars, opt.dSurfaceByW3Vars, opt.dSurfaceByW4Vars};
    surf.grid = MakeGridSpec(data.iNumVar, steps, opt.dSurfaceMinW, opt.dSurfaceMaxW);
}

bool CZELKDoc::FillSurfaceAfterLoad() {
    const int p = data.iNumVar;
    const bool fromFile = !surf.sSurfaceFile.empty();
    surf.sLuScale = fromFile ? "Log(Lu)" : " ";

    if (surf.mSurface.Empty() && surf.grid.bGridValid) {
        // No accepted file: the map shows the bare grid, every point with Lu = 1.
        SurfaceGrid grid;
        if (grid.Build(surf.grid) && !grid.tooLarge) {
            long long count = grid.CountValid();
            if (count == 0 && p == 4) {
                Fatal("Error: Surface file as specified has 0 records");
                return false;
            }
            surf.mSurface.Resize(static_cast<int>(count), p + 2, 0.0);
            double w[4];
            int r = 0;
            for (long long c = 0; c < grid.candidates && r < count; ++c) {
                if (!grid.Point(c, w)) continue;
                double* row = surf.mSurface.Row(r++);
                row[0] = 1;
                for (int k = 0; k < p; ++k) row[1 + k] = w[k];
                row[p + 1] = 0;
            }
        }
    }

    // Smallest and largest Lu, with their weights when they come from a file.
    surf.dMinLu = surf.dMaxLu = 0;
    surf.mMinLuW.Clear();
    surf.mMaxLuW.Clear();
    const Matrix& s = surf.mSurface;
    if (s.Rows() > 0 && s.Cols() >= p + 1) {
        int rMin = 0, rMax = 0;
        for (int r = 1; r < s.Rows(); ++r) {
            if (s(r, 0) < s(rMin, 0)) rMin = r;
            if (s(r, 0) > s(rMax, 0)) rMax = r;
        }
        surf.dMinLu = s(rMin, 0);
        surf.dMaxLu = s(rMax, 0);
        if (fromFile) {
            surf.mMinLuW.Resize(p, 1);
            surf.mMaxLuW.Resize(p, 1);
            for (int k = 0; k < p; ++k) {
                surf.mMinLuW(k, 0) = s(rMin, 1 + k);
                surf.mMaxLuW(k, 0) = s(rMax, 1 + k);
            }
        }
    }

    // The map: its place from the options, the Lu slice on Lu itself when the logarithm
    // cannot take every loss, and the colours of the points.
    disp.dOriginX = opt.dOriginX;
    disp.dOriginY = opt.dOriginY;
    disp.d3dscale = opt.d3dscale;
    disp.bLinearLu = 0;
    for (int r = 0; r < s.Rows(); ++r)
        if (!(s(r, 0) >= 1e-8)) disp.bLinearLu = 1;
    RecomputeSurfaceColours();
    return true;
}

}  // namespace zelk
