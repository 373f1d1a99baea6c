/* A slow disk for the benchmark: fsync and fdatasync take ZX_SLOW_SYNC_MS milliseconds more
   (preloaded into the program measured). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

static void Wait(void) {
    const char* ms = getenv("ZX_SLOW_SYNC_MS");
    long n = ms != NULL ? strtol(ms, NULL, 10) : 0;
    struct timespec t = {n / 1000, (n % 1000) * 1000000L};
    while (n > 0 && nanosleep(&t, &t) != 0) {
    }
}

int fdatasync(int fd) {
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    Wait();
    return real(fd);
}

int fsync(int fd) {
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    Wait();
    return real(fd);
}
