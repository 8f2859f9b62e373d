/* The floor of the start-up benchmark: the least a program can do with the records file, which is
 * to read it and count its lines with memchr. Plain C, so that it loads the C library alone. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static char buffer[1 << 17];

int main(int argc, char** argv) {
    const int fd = open(argc > 1 ? argv[1] : "kivos.ini", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    unsigned long lines = 0;
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        for (const char* p = buffer; (p = memchr(p, '\n', (size_t)(buffer + n - p))) != NULL; ++p)
            ++lines;
    close(fd);
    printf("%lu\n", lines);
    return n < 0;
}
