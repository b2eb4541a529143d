// Preloaded into a program under test: when the program ends normally it copies its own
// /proc/self/maps to the file named by PONDERA_MAPS_OUT, so a test sees every library the
// process had mapped, those it loaded on the way included.
#include <cstdio>
#include <cstdlib>

__attribute__((destructor)) static void copyMapsAtExit() {
    const char *to = std::getenv("PONDERA_MAPS_OUT");
    if (!to) return;
    FILE *in = std::fopen("/proc/self/maps", "r");
    FILE *out = std::fopen(to, "w");
    char buf[4096];
    size_t n = 0;
    while (in && out && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
        std::fwrite(buf, 1, n, out);
    if (in) std::fclose(in);
    if (out) std::fclose(out);
}
