// A harmless stand-in for the player programs, copied into a test's player
// folder under their names. It appends its pid to "<its path>.starts", then
// sleeps until it is ended (at most 30 s, so nothing outlives a broken
// test for long). "--ignore-term" makes it ignore SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--ignore-term") == 0)
        std::signal(SIGTERM, SIG_IGN);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        const std::string log = std::string(self, size_t(n)) + ".starts";
        if (FILE *f = std::fopen(log.c_str(), "a")) {
            std::fprintf(f, "%ld\n", long(getpid()));
            std::fclose(f);
        }
    }
    for (int i = 0; i < 300; ++i)
        usleep(100 * 1000);
    return 0;
}
