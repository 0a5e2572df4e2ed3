/*
 * Profile (INI file) functions under their Windows names, over the file
 * layer's paths and share modes.
 *
 * Files may be UTF-16LE or UTF-16BE with a byte-order mark, UTF-8 with or
 * without one, or ANSI (code page 1252; any byte sequence that is not valid
 * UTF-8 is read as ANSI).  A file name without a folder is looked for in the
 * Windows folder, "C:\Windows"; a null file name means "win.ini" there.
 *
 * Reading: sections are "[name]" lines; entries are "key=value" lines, key
 * and value trimmed of blanks; lines starting with ';' are comments; a line
 * without '=' is a key with an empty value; lines before the first section
 * belong to none.  Section and key names compare ignoring case; the first
 * section and the first key of a name win.  Nothing in a file, however
 * malformed, makes a call fail or read out of bounds: a missing or
 * unreadable file answers the default.
 *
 * Lists (section names, key names, a section's lines) are NUL-terminated
 * strings followed by one more NUL.  When a list does not fit, only whole
 * entries are copied (a cut name or "key=value" line would read as a
 * different, valid entry), the rest of the buffer is NULs, and the answer is
 * size - 2, as documented for the truncated case.
 */
#ifndef PLAT_INI_H
#define PLAT_INI_H

#include <plat/types.h>

/*
 * Copies a value into `buffer` (`size` characters).
 * - `section` and `key` given: the key's value with one pair of surrounding
 *   quotes (" or ') removed, or `default_value` (null = "", trailing blanks
 *   removed) when the file, section or key is missing (last error
 *   ERROR_FILE_NOT_FOUND).  Returns the characters copied; a value that does
 *   not fit is cut to size - 1 characters and size - 1 is returned.
 * - `key` null: the list of the section's key names.
 * - `section` null: the list of the file's section names.
 * A null buffer or a size of 0 returns 0.
 */
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer, DWORD size,
                               LPCWSTR file);

/*
 * The key's value as a number: leading decimal digits (optionally signed;
 * "102abc" gives 102, "abc" gives 0), negative values give 0, values beyond
 * the range of UINT give its largest value.  `default_value` when the file,
 * section or key is missing.
 */
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value, LPCWSTR file);

/*
 * The section's entries as a list of "key=value" lines (a line without '='
 * as its key alone; comments and blank lines left out).  Returns the
 * characters copied without the final NUL, 0 for a missing section, size - 2
 * when the list was cut.
 */
DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file);

/* The list of the file's section names, as GetPrivateProfileStringW with a null section gives it. */
DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR file);

/*
 * Writes `key`=`value` into `section`, replacing the key's first line or
 * adding a line at the end of the section (the section is added at the end
 * of the file when missing; the file is created when missing, as UTF-8).  A
 * null `value` deletes the key; a null `key` deletes the whole section.  The
 * rest of the file is kept line for line, in its encoding (an ANSI file that
 * would lose characters is rewritten as UTF-8); lines end in CR LF.
 * Returns TRUE on success; FALSE with ERROR_INVALID_PARAMETER (null section,
 * a CR or LF in any text, '=' in a key, a key starting with '[' or ';', ']'
 * in a section name), ERROR_PATH_NOT_FOUND, ERROR_SHARING_VIOLATION,
 * ERROR_ACCESS_DENIED or ERROR_DISK_FULL, the file unchanged.
 */
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);

namespace plat {

/*
 * Makes the profile file `file` read as `size` bytes at `data` (copied)
 * instead of what the disk holds, for fuzzing and tests that must not touch
 * the disk per input: every read of it answers from these bytes (parsed at
 * the first read), writes to it fail with ERROR_ACCESS_DENIED.  A null
 * `data` forgets it.  The file is known by its name, letter case, "/" or
 * "\", and "." or ".." components aside, and found without a look at the
 * disk.  False when the name does not map to a path of the machine.
 */
bool ini_set_memory_file(LPCWSTR file, const void *data, size_t size);

/* True with the size when `file` is an in-memory profile file (see ini_set_memory_file). */
bool ini_memory_file_size(LPCWSTR file, DWORD *size);

} // namespace plat

#endif /* PLAT_INI_H */
