/*
 * Writing a whole file of the real file system so that a failure or a kill
 * never leaves it half-written and a link planted at its name is never
 * written through: the host's outputs and the files it copies into the
 * machine folder go this way.
 */
#ifndef PLAT_FILE_REPLACE_H
#define PLAT_FILE_REPLACE_H

#include <cstddef>
#include <string>

namespace plat {

/*
 * Replaces the file at the real path `path` with `size` bytes at `data`: a
 * fresh temporary file beside it (a unique name, created exclusively, never
 * through a link) is written, flushed and renamed over it, so that the file
 * holds its old bytes or all the new ones.  A symbolic link at `path` is
 * replaced, never followed.  A character device there (/dev/null) is
 * written in place; a FIFO, socket or block device is refused (ENODEV), a
 * folder too (EISDIR).  0 or an errno value; on failure the temporary file
 * is gone and the old file untouched.  A simulated full disk
 * (plat::fault_disk_full) fails it with ENOSPC.
 */
int file_replace(const std::string &path, const void *data, size_t size);

/* strerror's text for an errno value, with words of our own for a link and a special file. */
std::string file_error_text(int error);

} // namespace plat

#endif /* PLAT_FILE_REPLACE_H */
