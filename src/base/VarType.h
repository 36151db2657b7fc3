// The analysis variable types, always held and iterated in this order. W (sample-weight
// candidates) is never analysed and has no entry.
#pragma once

namespace zelk {

enum VarType { kTypeC = 0, kTypeO = 1, kTypeN = 2, kTypeS = 3, kTypeA = 4, kNumTypes = 5 };

}  // namespace zelk
