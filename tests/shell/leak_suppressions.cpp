// Leaks of the system libraries under Qt (the font configuration cache lives
// until the process ends) are not ours; the leak checker of sanitizer builds
// reads this list. Ignored in other builds.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
