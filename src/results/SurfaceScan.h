// The surface scan's step for two, three and four variables. Each call performs one
// pacing step: the set-up on the first step, then a time-boxed batch of grid points
// (exactly one when doc.bOneItemPerStep is 1), and the finish once no point is left or
// the scan was cancelled.
#pragma once

namespace zelk {

class CZELKDoc;

void ScanSurface2(CZELKDoc& doc);
void ScanSurface3(CZELKDoc& doc);
void ScanSurface4(CZELKDoc& doc);

}  // namespace zelk
