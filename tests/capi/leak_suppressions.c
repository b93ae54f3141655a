/* Leaks of the system libraries under Qt (the font configuration cache lives
 * until the process ends) are not ours; the leak checker of sanitizer builds
 * reads this list. Ignored in other builds. */
const char* __lsan_default_suppressions(void);
const char* __lsan_default_suppressions(void) { return "leak:libfontconfig.so\n"; }
