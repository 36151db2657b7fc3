// ZELK: variable weights for mixed-type data that make the weighted distances between
// records as close as possible to an ultrametric.

// Built only where Qt is on the include path: the core library's source list reaches
// this folder too, and there the file is empty.
#if __has_include(<QtGlobal>)
#include "platform/qt/ZelkApp.h"

int main(int argc, char** argv) { return zelk::RunZelkApp(argc, argv); }

#endif  // __has_include(<QtGlobal>)
