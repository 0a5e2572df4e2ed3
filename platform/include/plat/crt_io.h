/*
 * The C run-time library's low-level file functions (_open, _wopen, _read,
 * _lseek, _close) over the machine's path layer: the driver passes Windows
 * paths, which are mapped below the machine root (plat/machine.h).  The flag
 * values are those of the Windows run-time library; the underscore names
 * (_O_RDONLY, _O_BINARY, ...) are the ones to use, since <fcntl.h> gives
 * different values to several of the plain O_ names (O_RDONLY itself is 0 in
 * both).
 *
 * Every descriptor reads and writes bytes as they are: text-mode newline
 * translation is not simulated.  Only descriptors opened here are accepted by
 * _read, _lseek and _close; any other number fails with EBADF, so a stray
 * descriptor can never reach a file of the test program.  Failures answer -1
 * and set errno, as the run-time library does.
 */
#ifndef PLAT_CRT_IO_H
#define PLAT_CRT_IO_H

#include <plat/types.h>

#include <cstdio> /* SEEK_SET, SEEK_CUR, SEEK_END: the same values on Windows */

#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_RANDOM 0x0010
#define _O_SEQUENTIAL 0x0020
#define _O_NOINHERIT 0x0080
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000
#define O_BINARY _O_BINARY

/* Permission argument of _open with _O_CREAT. */
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080

/*
 * Opens the file at the Windows path `filename` (ANSI text) with the _O_
 * flags `oflag`; with _O_CREAT a third argument gives _S_IREAD and/or
 * _S_IWRITE.  Returns a descriptor that _close releases, or -1 with errno:
 * ENOENT (no such file, empty or unmappable path), EACCES (a folder, or no
 * permission), EEXIST (_O_CREAT | _O_EXCL on an existing file), EINVAL (a
 * null path, unknown or contradicting flags, or a path byte above 127: the
 * ANSI code-page conversion of paths is not built yet, so paths are ASCII).
 */
int _open(const char *filename, int oflag, ...);

/* As _open, for a UTF-16 Windows path. */
int _wopen(const WCHAR *filename, int oflag, ...);

/*
 * Reads up to `count` bytes into `buffer`.  Returns the number of bytes read
 * (0 at the end of the file), or -1 with errno EBADF (not an open descriptor,
 * or not opened for reading), EINVAL (null buffer, count above INT_MAX) or
 * EIO (a read error).
 */
int _read(int fd, void *buffer, unsigned int count);

/*
 * Moves the file position to `offset` from SEEK_SET, SEEK_CUR or SEEK_END.
 * Returns the new position, or -1 with errno EBADF or EINVAL (an unknown
 * origin, a position before the start or beyond LONG's range; the position
 * is then unchanged).
 */
LONG _lseek(int fd, LONG offset, int origin);

/* Releases a descriptor.  Returns 0, or -1 with errno EBADF or EIO. */
int _close(int fd);

namespace plat {

/*
 * Fault injection for tests: the next `count` calls of _close fail with EIO
 * (the descriptor is released all the same), or of _read fail with EIO.
 * machine_reset clears both and closes every descriptor still open.
 */
void crt_fail_close(int count);
void crt_fail_read(int count);

/* Number of descriptors opened by _open/_wopen and not yet closed. */
int crt_open_count();

} // namespace plat

#endif /* PLAT_CRT_IO_H */
