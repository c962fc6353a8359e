/* Preloaded into tablesmith-cli (LD_PRELOAD) by the tests to give it the
 * failures of file systems the test machine may not have:
 *
 *   TABLESMITH_FAULTFS_IMMUTABLE=DEV:INODE  the entry behaves as with
 *       chattr +i: it cannot be removed or renamed, and nothing can be
 *       created in, removed from or renamed into it (EPERM), whatever the
 *       user; without the attribute, or without root, it works everywhere.
 *   TABLESMITH_FAULTFS_NO_EXCHANGE=1  renameat2 knows no RENAME_EXCHANGE
 *       (EINVAL), as on file systems without it.
 *   TABLESMITH_FAULTFS_SIGNAL_ON_EXCHANGE=N  the process gets signal N just
 *       before a RENAME_EXCHANGE, as from a Ctrl-C while the new tree is put
 *       in place; the exchange goes on.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int isImmutable(int dirfd, const char *path)
{
    const char *immutable = getenv("TABLESMITH_FAULTFS_IMMUTABLE");
    unsigned long long dev, ino;
    struct stat st;
    if (!immutable || sscanf(immutable, "%llu:%llu", &dev, &ino) != 2)
        return 0;
    return fstatat(dirfd, path, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == dev && st.st_ino == ino;
}

/* The entry itself or the folder it lies in. */
static int touchesImmutable(int dirfd, const char *path)
{
    char copy[PATH_MAX];
    if (isImmutable(dirfd, path))
        return 1;
    snprintf(copy, sizeof copy, "%s", path);
    return isImmutable(dirfd, dirname(copy));
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define REFUSE(condition) \
    do { \
        if (condition) { \
            errno = EPERM; \
            return -1; \
        } \
    } while (0)

int mkdir(const char *path, mode_t mode)
{
    REFUSE(touchesImmutable(AT_FDCWD, path));
    return REAL(mkdir)(path, mode);
}

int rmdir(const char *path)
{
    REFUSE(touchesImmutable(AT_FDCWD, path));
    return REAL(rmdir)(path);
}

int unlink(const char *path)
{
    REFUSE(touchesImmutable(AT_FDCWD, path));
    return REAL(unlink)(path);
}

int unlinkat(int dirfd, const char *path, int flags)
{
    REFUSE(touchesImmutable(dirfd, path));
    return REAL(unlinkat)(dirfd, path, flags);
}

int rename(const char *from, const char *to)
{
    REFUSE(touchesImmutable(AT_FDCWD, from) || touchesImmutable(AT_FDCWD, to));
    return REAL(rename)(from, to);
}

int renameat2(int fromfd, const char *from, int tofd, const char *to, unsigned int flags)
{
    REFUSE(touchesImmutable(fromfd, from) || touchesImmutable(tofd, to));
    if ((flags & RENAME_EXCHANGE) && getenv("TABLESMITH_FAULTFS_NO_EXCHANGE")) {
        errno = EINVAL;
        return -1;
    }
    if ((flags & RENAME_EXCHANGE) && getenv("TABLESMITH_FAULTFS_SIGNAL_ON_EXCHANGE"))
        raise(atoi(getenv("TABLESMITH_FAULTFS_SIGNAL_ON_EXCHANGE")));
    return REAL(renameat2)(fromfd, from, tofd, to, flags);
}
