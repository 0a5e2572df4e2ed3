/*
 * The simulated machine: one per process, shared by every driver library
 * loaded into it (they all link libtarvelplat.so).
 *
 * Windows paths ("C:\DEBUG_LOG\x.txt") map below the machine's root folder
 * ("<root>/c/DEBUG_LOG/x.txt").  Each path component is matched against what
 * exists ignoring case, as Windows would; a component that does not exist yet
 * keeps the spelling it was given.  A mount table maps Windows folders onto
 * real folders outside the root (the driver directory onto the build's
 * driver folder).
 *
 * Tests give every test its own machine folder (plat::machine_reset with a
 * fresh directory) so that no state leaks from one test to the next.
 */
#ifndef PLAT_MACHINE_H
#define PLAT_MACHINE_H

#include <plat/types.h>

#include <string>
#include <string_view>

namespace plat {

/*
 * Starts a fresh machine rooted at `root` (created if missing): forgets every
 * mount and every piece of simulated state that the services keep (they
 * register a reset hook with machine_on_reset).  An empty root picks the
 * folder named by $TARVEL_MACHINE, or "./.machine".
 */
void machine_reset(const std::string &root = std::string());

/* The machine's root folder (a real path). */
const std::string &machine_root();

/*
 * Maps the Windows folder `win_dir` (for example the driver directory) onto
 * the real folder `real_dir`.  The longest matching mount wins.
 */
void machine_mount(std::u16string_view win_dir, const std::string &real_dir);

/*
 * The real path for a Windows path.  Accepts drive-letter paths ("C:\a\b"),
 * forward or backward slashes, and "." / ".." components (which never climb
 * above the drive).  A relative path is taken relative to the machine's
 * current directory, "C:\".  Answers false for an empty path, a UNC or device
 * path ("\\server\x", "\\.\x"), or a character Linux cannot hold (NUL).
 */
bool map_path(std::u16string_view win_path, std::string &real_path);

/* The Windows form of a real path below the root or a mount; false if none. */
bool unmap_path(const std::string &real_path, std::u16string &win_path);

/*
 * Registers a function that machine_reset calls, so that each service file
 * can clear the state it keeps.  Call it from a static initialiser.
 */
void machine_on_reset(void (*hook)());

} // namespace plat

#endif /* PLAT_MACHINE_H */
