/* Makes one chain of nested folders for the deep-tree benchmarks:
 *   bench_deep_tree ROOT LEVELS NAME_LENGTH FILES
 * ROOT must not exist. Every folder's name is NAME_LENGTH letters; FILES
 * empty files are spread evenly over the levels, the last at the bottom.
 * Works relative to open folders, so any depth can be made. */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void Fail(const char* what) {
    fprintf(stderr, "bench_deep_tree: %s: %s\n", what, strerror(errno));
    exit(1);
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: bench_deep_tree ROOT LEVELS NAME_LENGTH FILES\n");
        return 2;
    }
    long levels = atol(argv[2]), length = atol(argv[3]), files = atol(argv[4]);
    if (levels < 1 || length < 1 || length > 255 || files < 0) {
        fprintf(stderr, "bench_deep_tree: LEVELS >= 1, NAME_LENGTH 1 to 255, FILES >= 0\n");
        return 2;
    }
    if (mkdir(argv[1], 0755) != 0) Fail(argv[1]);
    int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(argv[1]);
    char name[256];
    memset(name, 'd', (size_t)length);
    name[length] = '\0';
    long every = files > 0 ? (levels + files - 1) / files : 0, made = 0;
    for (long level = 1; level <= levels; ++level) {
        if (mkdirat(fd, name, 0755) != 0) Fail("mkdirat");
        int next = openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) Fail("openat");
        close(fd);
        fd = next;
        if (made < files && (level % every == 0 || level == levels)) {
            char file[32];
            snprintf(file, sizeof file, "file%ld.txt", level);
            int f = openat(fd, file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (f < 0) Fail("openat file");
            close(f);
            ++made;
        }
    }
    close(fd);
    printf("made %ld levels of %ld-letter names and %ld files under %s\n", levels, length, made, argv[1]);
    return 0;
}
