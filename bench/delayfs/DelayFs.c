/* A network share on one machine, for the scan benchmarks: a read-only
 * passthrough of a folder that sleeps a set number of microseconds in every
 * call a share answers after a round trip: looking up a name and its
 * attributes (getattr, which the library calls for a lookup too), opening
 * and reading a folder, opening and reading a file. Multithreaded, with the
 * kernel's entry and attribute caches off, so that every call reaches it.
 *   bench_DelayFs SOURCE MOUNTPOINT --delay-us N [--threads N] [-o OPTION...]
 * It stays in the foreground, answering with up to --threads threads (default
 * 128, so that a share's parallelism is not the limit).
 * Unmount with fusermount3 -u MOUNTPOINT. */
#define FUSE_USE_VERSION 312
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>
#include <fuse_lowlevel.h>

static int g_source = -1;
static long g_delayUs = 0;

static void Delay(void) {
    if (g_delayUs <= 0) return;
    struct timespec wait = {g_delayUs / 1000000, (g_delayUs % 1000000) * 1000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
}

/* A path of the mount as a path below SOURCE. */
static const char* Below(const char* path) {
    while (*path == '/') ++path;
    return *path ? path : ".";
}

static void* Init(struct fuse_conn_info* conn, struct fuse_config* config) {
    (void)conn;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->use_ino = 1;
    return NULL;
}

static int GetAttr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    Delay();
    int rc = fi != NULL ? fstat((int)fi->fh, st) : fstatat(g_source, Below(path), st, AT_SYMLINK_NOFOLLOW);
    return rc == 0 ? 0 : -errno;
}

static int ReadLink(const char* path, char* buffer, size_t size) {
    Delay();
    ssize_t n = readlinkat(g_source, Below(path), buffer, size - 1);
    if (n < 0) return -errno;
    buffer[n] = '\0';
    return 0;
}

struct Folder {
    DIR* dir;
    struct dirent* entry;
    off_t offset;
};

static int OpenDir(const char* path, struct fuse_file_info* fi) {
    Delay();
    int fd = openat(g_source, Below(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -errno;
    struct Folder* folder = calloc(1, sizeof *folder);
    if (folder == NULL || (folder->dir = fdopendir(fd)) == NULL) {
        int error = folder == NULL ? ENOMEM : errno;
        free(folder);
        close(fd);
        return -error;
    }
    fi->fh = (uintptr_t)folder;
    return 0;
}

/* One call for every batch the kernel asks for, as a share answers each
 * request for more entries. */
static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info* fi,
                   enum fuse_readdir_flags flags) {
    (void)path;
    (void)flags;
    Delay();
    struct Folder* folder = (struct Folder*)(uintptr_t)fi->fh;
    if (offset != folder->offset) {
        seekdir(folder->dir, offset);
        folder->entry = NULL;
        folder->offset = offset;
    }
    for (;;) {
        if (folder->entry == NULL) {
            errno = 0;
            folder->entry = readdir(folder->dir);
            if (folder->entry == NULL) return errno != 0 ? -errno : 0;
        }
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = folder->entry->d_ino;
        st.st_mode = (mode_t)(DTTOIF(folder->entry->d_type));
        off_t next = telldir(folder->dir);
        if (fill(buffer, folder->entry->d_name, &st, next, 0) != 0)
            return 0; /* full: the kernel asks again from here */
        folder->entry = NULL;
        folder->offset = next;
    }
}

static int ReleaseDir(const char* path, struct fuse_file_info* fi) {
    (void)path;
    struct Folder* folder = (struct Folder*)(uintptr_t)fi->fh;
    closedir(folder->dir);
    free(folder);
    return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
    Delay();
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    int fd = openat(g_source, Below(path), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info* fi) {
    (void)path;
    Delay();
    ssize_t n = pread((int)fi->fh, buffer, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int Release(const char* path, struct fuse_file_info* fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int StatFs(const char* path, struct statvfs* st) {
    (void)path;
    return fstatvfs(g_source, st) == 0 ? 0 : -errno;
}

static const struct fuse_operations kOperations = {
    .init = Init,
    .getattr = GetAttr,
    .readlink = ReadLink,
    .opendir = OpenDir,
    .readdir = ReadDir,
    .releasedir = ReleaseDir,
    .open = Open,
    .read = Read,
    .release = Release,
    .statfs = StatFs,
};

static long Number(const char* text, const char* what) {
    char* end = NULL;
    long value = text != NULL ? strtol(text, &end, 10) : -1;
    if (text == NULL || end == text || *end != '\0' || value < 0) {
        fprintf(stderr, "bench_DelayFs: %s takes a number\n", what);
        exit(2);
    }
    return value;
}

int main(int argc, char** argv) {
    if (argc < 5 || strcmp(argv[3], "--delay-us") != 0) {
        fprintf(stderr, "usage: bench_DelayFs SOURCE MOUNTPOINT --delay-us N [--threads N] [-o OPTION...]\n");
        return 2;
    }
    g_delayUs = Number(argv[4], "--delay-us");
    long threads = 128;
    int first = 5;
    if (argc > 6 && strcmp(argv[5], "--threads") == 0) {
        threads = Number(argv[6], "--threads");
        first = 7;
    }
    g_source = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_source < 0) {
        fprintf(stderr, "bench_DelayFs: %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    struct fuse_args args = FUSE_ARGS_INIT(0, NULL);
    if (fuse_opt_add_arg(&args, argv[0]) != 0 || fuse_opt_add_arg(&args, "-o") != 0 ||
        fuse_opt_add_arg(&args, "ro,default_permissions,fsname=delayfs") != 0)
        return 1;
    for (int i = first; i < argc; ++i) {
        if (fuse_opt_add_arg(&args, argv[i]) != 0) return 1;
    }
    struct fuse* fuse = fuse_new(&args, &kOperations, sizeof kOperations, NULL);
    if (fuse == NULL || fuse_mount(fuse, argv[2]) != 0) {
        fprintf(stderr, "bench_DelayFs: cannot mount %s\n", argv[2]);
        return 1;
    }
    struct fuse_session* session = fuse_get_session(fuse);
    fuse_set_signal_handlers(session);
    struct fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(config, (unsigned)threads);
    fuse_loop_cfg_set_idle_threads(config, (unsigned)threads);
    int rc = fuse_loop_mt(fuse, config);
    fuse_loop_cfg_destroy(config);
    fuse_remove_signal_handlers(session);
    fuse_unmount(fuse);
    fuse_destroy(fuse);
    fuse_opt_free_args(&args);
    return rc == 0 ? 0 : 1;
}
