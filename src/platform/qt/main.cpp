// ZELK: variable weights for mixed-type data that make the weighted distances between
// records as close as possible to an ultrametric.

#include "platform/qt/ZelkApp.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds: the toolkit keeps its font and platform caches until the process
// ends, which the leak checker would report; the program's own code is leak-checked by
// the core test programs.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

int main(int argc, char** argv) { return zelk::RunZelkApp(argc, argv); }
