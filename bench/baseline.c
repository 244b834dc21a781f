/* The floor for the scan benchmarks: one thread walks the tree making the
 * system calls the scan makes and nothing else.
 *   bench_baseline ROOT [--min-size N]
 * Every folder: openat (relative to its parent), fdopendir, readdir to the
 * end, closedir. Every entry: fstatat without following links. Every regular
 * file: open as the version reader does, one 64-byte pread, close; with
 * --min-size only files of at least N bytes are opened (the scan opens only
 * files of at least the version reader's minimum, 428 bytes).
 * Prints the counts and a checksum of the sizes and bytes read, so that none
 * of the work can be left out. */
#define _GNU_SOURCE /* O_NOATIME */
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct Totals {
    uint64_t files;
    uint64_t folders;
    uint64_t opened;
    uint64_t bytes;
    uint64_t checksum;
    uint64_t errors;
};

static void Mix(struct Totals* totals, uint64_t value) {
    totals->checksum = (totals->checksum ^ value) * 0x100000001B3ULL; /* FNV-1a step */
}

static int OpenFile(int dirFd, const char* name) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = openat(dirFd, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = openat(dirFd, name, flags);
    return fd;
}

/* Takes over dirFd. */
static void Walk(int dirFd, uint64_t minSize, struct Totals* totals) {
    DIR* dir = fdopendir(dirFd);
    if (dir == NULL) {
        close(dirFd);
        ++totals->errors;
        return;
    }
    ++totals->folders;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(dir);
        if (entry == NULL) {
            if (errno != 0) ++totals->errors;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        struct stat st;
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ++totals->errors;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const int sub = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (sub < 0) ++totals->errors;
            else Walk(sub, minSize, totals);
        } else if (S_ISREG(st.st_mode)) {
            ++totals->files;
            Mix(totals, (uint64_t)st.st_size);
            if ((uint64_t)st.st_size < minSize) continue;
            const int fd = OpenFile(dirFd, name);
            if (fd < 0) {
                ++totals->errors;
                continue;
            }
            ++totals->opened;
            unsigned char head[64];
            const ssize_t got = pread(fd, head, sizeof(head), 0);
            if (got > 0) {
                totals->bytes += (uint64_t)got;
                Mix(totals, head[0] | ((uint64_t)head[1] << 8));
            }
            close(fd);
        }
    }
    closedir(dir);
}

static void Usage(const char* message) {
    fprintf(stderr, "bench_baseline: %s\nusage: bench_baseline ROOT [--min-size N]\n", message);
    exit(2);
}

int main(int argc, char** argv) {
    const char* root = NULL;
    uint64_t minSize = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--min-size") == 0) {
            char* end = NULL;
            if (i + 1 >= argc) Usage("--min-size needs a number");
            errno = 0;
            minSize = strtoull(argv[++i], &end, 10);
            if (errno != 0 || end == argv[i] || *end != '\0' || argv[i][0] == '-') Usage("--min-size needs a number");
        } else if (argv[i][0] == '-' || root != NULL) {
            Usage("unexpected argument");
        } else {
            root = argv[i];
        }
    }
    if (root == NULL) Usage("ROOT is missing");

    const int fd = open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "bench_baseline: %s: %s\n", root, strerror(errno));
        return 1;
    }
    struct Totals totals;
    memset(&totals, 0, sizeof(totals));
    totals.checksum = 0xCBF29CE484222325ULL;
    Walk(fd, minSize, &totals);
    printf("files %llu folders %llu opened %llu bytes %llu checksum %016llx errors %llu\n",
           (unsigned long long)totals.files, (unsigned long long)totals.folders, (unsigned long long)totals.opened,
           (unsigned long long)totals.bytes, (unsigned long long)totals.checksum, (unsigned long long)totals.errors);
    return totals.errors == 0 ? 0 : 1;
}
