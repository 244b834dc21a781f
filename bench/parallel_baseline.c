/* The floor for a parallel scan: threads read folders as they find them,
 * making the system calls the scan makes, in no particular order.
 *   bench_parallel_baseline ROOT [--threads N] [--min-size N]
 * Every folder: openat (relative to its parent, by the thread that found
 * it), fdopendir, readdir to the end, closedir. Every entry: fstatat without following links. Every regular
 * file of at least --min-size bytes: open, fstat (the scan's version reader
 * checks that what it opened is still a regular file), one 64-byte pread,
 * close. A folder
 * found is opened and put on a shared stack that every thread takes from;
 * nothing is kept, sorted or ordered (the open files limit is raised for the
 * folders waiting on the stack). Prints the counts and a checksum that does not
 * depend on the order, so that none of the work can be left out. */
#define _GNU_SOURCE /* O_NOATIME */
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

struct Totals {
    uint64_t files, folders, opened, bytes, checksum, errors;
};

static uint64_t g_minSize = 0;
static pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_ready = PTHREAD_COND_INITIALIZER;
static int* g_stack = NULL; /* open folders */
static size_t g_count = 0, g_capacity = 0, g_busy = 0;
static struct Totals g_totals;

static void Push(int fd) {
    pthread_mutex_lock(&g_mutex);
    if (g_count == g_capacity) {
        g_capacity = g_capacity ? 2 * g_capacity : 1024;
        g_stack = realloc(g_stack, g_capacity * sizeof *g_stack);
        if (g_stack == NULL) abort();
    }
    g_stack[g_count++] = fd;
    pthread_cond_signal(&g_ready);
    pthread_mutex_unlock(&g_mutex);
}

/* The next folder, or -1 when every folder is read. */
static int Pop(void) {
    pthread_mutex_lock(&g_mutex);
    while (g_count == 0 && g_busy > 0) pthread_cond_wait(&g_ready, &g_mutex);
    int fd = -1;
    if (g_count > 0) {
        fd = g_stack[--g_count];
        ++g_busy;
    } else {
        pthread_cond_broadcast(&g_ready);
    }
    pthread_mutex_unlock(&g_mutex);
    return fd;
}

static void Done(void) {
    pthread_mutex_lock(&g_mutex);
    if (--g_busy == 0 && g_count == 0) pthread_cond_broadcast(&g_ready);
    pthread_mutex_unlock(&g_mutex);
}

/* Takes over fd. */
static void ReadFolder(int fd, struct Totals* totals) {
    DIR* dir = fdopendir(fd);
    if (dir == NULL) {
        close(fd);
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
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ++totals->errors;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            int sub = openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (sub < 0) ++totals->errors;
            else Push(sub);
        } else if (S_ISREG(st.st_mode)) {
            ++totals->files;
            totals->checksum += (uint64_t)st.st_size * 0x9E3779B97F4A7C15ULL;
            if ((uint64_t)st.st_size < g_minSize) continue;
            int file = openat(fd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOATIME);
            if (file < 0 && errno == EPERM) file = openat(fd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
            if (file < 0) {
                ++totals->errors;
                continue;
            }
            ++totals->opened;
            struct stat opened;
            if (fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode)) {
                ++totals->errors;
                close(file);
                continue;
            }
            unsigned char head[64];
            ssize_t got = pread(file, head, sizeof(head), 0);
            if (got > 0) {
                totals->bytes += (uint64_t)got;
                totals->checksum += (uint64_t)(head[0] | (head[1] << 8));
            }
            close(file);
        }
    }
    closedir(dir);
}

static void* Work(void* unused) {
    (void)unused;
    struct Totals totals;
    memset(&totals, 0, sizeof totals);
    for (int fd; (fd = Pop()) >= 0; Done()) ReadFolder(fd, &totals);
    pthread_mutex_lock(&g_mutex);
    g_totals.files += totals.files;
    g_totals.folders += totals.folders;
    g_totals.opened += totals.opened;
    g_totals.bytes += totals.bytes;
    g_totals.checksum += totals.checksum;
    g_totals.errors += totals.errors;
    pthread_mutex_unlock(&g_mutex);
    return NULL;
}

static void Usage(const char* message) {
    fprintf(stderr,
            "bench_parallel_baseline: %s\n"
            "usage: bench_parallel_baseline ROOT [--threads N] [--min-size N]\n",
            message);
    exit(2);
}

static unsigned long long Number(const char* text) {
    char* end = NULL;
    errno = 0;
    unsigned long long value = text ? strtoull(text, &end, 10) : 0;
    if (text == NULL || errno != 0 || end == text || *end != '\0' || text[0] == '-') Usage("a number was expected");
    return value;
}

int main(int argc, char** argv) {
    const char* root = NULL;
    unsigned long long threads = 16;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--threads") == 0) threads = Number(i + 1 < argc ? argv[++i] : NULL);
        else if (strcmp(argv[i], "--min-size") == 0) g_minSize = Number(i + 1 < argc ? argv[++i] : NULL);
        else if (argv[i][0] == '-' || root != NULL) Usage("unexpected argument");
        else root = argv[i];
    }
    if (root == NULL || threads == 0 || threads > 1024) Usage("ROOT is missing, or the thread count is not 1 to 1024");
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    int top = open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0) {
        fprintf(stderr, "bench_parallel_baseline: %s: %s\n", root, strerror(errno));
        return 1;
    }
    Push(top);
    pthread_t* pool = calloc(threads, sizeof *pool);
    if (pool == NULL) abort();
    for (unsigned long long i = 0; i < threads; ++i) pthread_create(&pool[i], NULL, Work, NULL);
    for (unsigned long long i = 0; i < threads; ++i) pthread_join(pool[i], NULL);
    printf("files %llu folders %llu opened %llu bytes %llu checksum %016llx errors %llu\n",
           (unsigned long long)g_totals.files, (unsigned long long)g_totals.folders,
           (unsigned long long)g_totals.opened, (unsigned long long)g_totals.bytes,
           (unsigned long long)g_totals.checksum, (unsigned long long)g_totals.errors);
    free(pool);
    free(g_stack);
    return g_totals.errors == 0 ? 0 : 1;
}
