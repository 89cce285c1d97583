/* Test equipment: preloaded into a program, it makes the system's HID library impossible to
   load, as on a machine where it is not installed. Every other library loads as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>

void* dlopen(const char* file, int mode)
{
    static void* (*real)(const char*, int);
    if (file && strstr(file, "libhidapi-hidraw")) return NULL;
    if (!real) real = (void* (*)(const char*, int))dlsym(RTLD_NEXT, "dlopen");
    return real(file, mode);
}
