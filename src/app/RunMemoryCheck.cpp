#include "app/RunMemoryCheck.h"

#include "app/Document.h"
#include "base/Format.h"
#include "platform/Memory.h"
#include "runs/RunMemory.h"

namespace zelk {

namespace {

std::string Refusal(const char* what, const CZELKDoc& doc, double need) {
    const int n = doc.data.iNumRec, p = doc.data.iNumVar;
    const std::string head = Format("%s %d records and %d variables needs about %s of memory", what, n, p,
                                    MemorySizeText(need).c_str());
    const char* const advice = "\nUse a data set with fewer records or variables.";
    if (RunMatricesTooLarge(n, p))
        return head + Format(", with matrices of more than %d elements, which is more than this program can hold.",
                             2147483647) +
               advice;
    const MemoryLimit limit = ProcessMemoryLimit();
    if (limit.bytes <= 0 || need <= limit.bytes) return std::string();
    if (limit.addressSpace)
        return head + ", more than the " + MemorySizeText(limit.bytes) +
               " that the address-space limit of this process leaves (ulimit -v)." + advice;
    return head + ", more than the " + MemorySizeText(limit.bytes) + " of memory this machine has." + advice;
}

}  // namespace

std::string NrtMemoryRefusal(const CZELKDoc& doc) {
    return Refusal("Newton-Raphson on", doc, NrtRunBytes(doc.data.iNumRec, doc.data.iNumVar));
}

std::string ScanMemoryRefusal(const CZELKDoc& doc, long long points) {
    return Refusal("The surface scan of", doc,
                   SurfaceScanBytes(doc.data.iNumRec, doc.data.iNumVar, static_cast<double>(points)));
}

}  // namespace zelk
