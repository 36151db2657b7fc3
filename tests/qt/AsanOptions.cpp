// Sanitizer builds: the toolkit keeps its font and platform caches until the process
// ends, which the leak checker would report for every window test; the core test
// programs run with leak checking on.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif
