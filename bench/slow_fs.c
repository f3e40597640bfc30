/* A read-only file system that shows a directory as it is but answers every metadata
 * request late, as a file server far away does: each getattr (which also answers the
 * kernel's lookups), opendir, readdir and open waits a set time first. A listing gives
 * names and entry types only, so every stat after it is a round trip of its own.
 *
 * Usage: slow_fs [--delay-ms=MS] SOURCE MOUNTPOINT [FUSE options]
 * MS defaults to 1. The benchmark mounts it with
 *   -f -o ro,max_threads=256,entry_timeout=0,attr_timeout=0,negative_timeout=0
 * so that the kernel keeps nothing between runs and every request reaches this program;
 * inode numbers are the source's (use_ino, set at start: it is no mount option). */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <linux/fuse.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

static struct settings {
  char* source;
  double delay_ms;
} settings = {NULL, 1.0};

static int source_fd = -1;

static void wait_a_while(void) {
  const long long nanoseconds = (long long)(settings.delay_ms * 1e6);
  struct timespec left = {nanoseconds / 1000000000, nanoseconds % 1000000000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

/* The path in the source directory: "/" is the source itself, "/a/b" is "a/b" there. */
static const char* relative(const char* path) {
  return path[1] ? path + 1 : ".";
}

/* Lookups and listings in one directory go to the server side by side, as a network file
 * system's client sends them. The kernel does so only when the answer to its first request
 * says so, and libfuse 3.14 leaves that flag out whatever the file system wants; this
 * program's writev stands in for the C library's (the library calls it by name) and adds
 * the flag to that one answer. Without it, the kernel serialises every first lookup in a
 * directory. */
ssize_t writev(int fd, const struct iovec* iov, int count) {
  static int answered_init;
  const size_t flags_end = offsetof(struct fuse_init_out, flags) + sizeof(uint32_t);
  if (!answered_init && count >= 2 && iov[1].iov_len >= flags_end) {
    struct fuse_init_out* init = iov[1].iov_base;
    if (init->major == FUSE_KERNEL_VERSION) init->flags |= FUSE_PARALLEL_DIROPS;
  }
  answered_init = 1;
  return syscall(SYS_writev, fd, iov, count);
}

static void* slow_init(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  conn->want &= ~FUSE_CAP_READDIRPLUS;  // names and types only, as a plain server lists
  cfg->use_ino = 1;
  cfg->entry_timeout = cfg->attr_timeout = cfg->negative_timeout = 0;
  return NULL;
}

static int slow_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  wait_a_while();
  return fstatat(source_fd, relative(path), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int slow_readlink(const char* path, char* buffer, size_t size) {
  const ssize_t got = readlinkat(source_fd, relative(path), buffer, size - 1);
  if (got < 0) return -errno;
  buffer[got] = '\0';
  return 0;
}

static int slow_opendir(const char* path, struct fuse_file_info* fi) {
  wait_a_while();
  const int fd = openat(source_fd, relative(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) return -errno;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    const int error = errno;
    close(fd);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)dir;
  return 0;
}

/* The whole listing in one call (offset 0 for every entry): the library keeps it and
 * answers the kernel's later reads of the same handle from there. */
static int slow_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)path;
  (void)offset;
  (void)flags;
  wait_a_while();
  DIR* dir = (DIR*)(uintptr_t)fi->fh;
  rewinddir(dir);
  const struct dirent* entry;
  while ((entry = readdir(dir)) != NULL) {
    struct stat st;
    memset(&st, 0, sizeof st);
    st.st_ino = entry->d_ino;
    st.st_mode = DTTOIF(entry->d_type);
    if (fill(buffer, entry->d_name, &st, 0, 0)) break;
  }
  return 0;
}

static int slow_releasedir(const char* path, struct fuse_file_info* fi) {
  (void)path;
  closedir((DIR*)(uintptr_t)fi->fh);
  return 0;
}

static int slow_open(const char* path, struct fuse_file_info* fi) {
  wait_a_while();
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  const int fd = openat(source_fd, relative(path), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int slow_read(const char* path, char* buffer, size_t size, off_t offset,
                     struct fuse_file_info* fi) {
  (void)path;
  const ssize_t got = pread((int)fi->fh, buffer, size, offset);
  return got < 0 ? -errno : (int)got;
}

static int slow_release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  close((int)fi->fh);
  return 0;
}

static int slow_statfs(const char* path, struct statvfs* st) {
  (void)path;
  return fstatvfs(source_fd, st) == 0 ? 0 : -errno;
}

static const struct fuse_operations operations = {
    .init = slow_init,
    .getattr = slow_getattr,
    .readlink = slow_readlink,
    .opendir = slow_opendir,
    .readdir = slow_readdir,
    .releasedir = slow_releasedir,
    .open = slow_open,
    .read = slow_read,
    .release = slow_release,
    .statfs = slow_statfs,
};

static const struct fuse_opt options[] = {
    {"--delay-ms=%lf", offsetof(struct settings, delay_ms), 0},
    FUSE_OPT_END,
};

/* The first argument that is no option is the source; the rest go to the library. */
static int take_source(void* data, const char* arg, int key, struct fuse_args* args) {
  (void)data;
  (void)args;
  if (key == FUSE_OPT_KEY_NONOPT && !settings.source) {
    settings.source = strdup(arg);
    return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
  if (fuse_opt_parse(&args, &settings, options, take_source) != 0) return 2;
  if (!settings.source || settings.delay_ms < 0) {
    fprintf(stderr, "usage: %s [--delay-ms=MS] SOURCE MOUNTPOINT [FUSE options]\n", argv[0]);
    return 2;
  }
  source_fd = open(settings.source, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (source_fd < 0) {
    perror(settings.source);
    return 1;
  }
  const int status = fuse_main(args.argc, args.argv, &operations, NULL);
  fuse_opt_free_args(&args);
  return status;
}
