// Read by LeakSanitizer in the sanitizer build: fontconfig keeps a cache allocation for the life of the
// process (Qt's font database triggers it); it is not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
