/*
 * The device-settings blobs that travel with a printer or a user: "N_Dev"
 * (the stored extension block, optionally followed by the fax send list),
 * "TMBInfo" (an opaque block of the caller's), and the document-property
 * file that carries the same three blocks.  Layouts are in
 * tarvel/pdt_docprop_layout.h.
 *
 * Store kinds: 2 the spooler's printer data (chunked blobs "N_Dev" /
 * "N_DevSize" and "TMBInfo" / "TMBInfoSize"); 3 the user's per-printer key
 * (plain values "N_DevSize" (REG_DWORD) and "N_Dev" (REG_BINARY), likewise
 * for "TMBInfo").
 *
 * Results: 1 success, 0 failure.  Buffers handed out are zero-filled
 * GlobalAlloc blocks that the caller frees with GlobalFree.
 */
#ifndef TARVEL_PDT_BLOB_H
#define TARVEL_PDT_BLOB_H

#include <plat/types.h>
#include <tarvel/pdt_docprop_layout.h>

struct ModelContext;

constexpr int PDT_STORE_PRINTER = 2; /* spooler printer data */
constexpr int PDT_STORE_USER = 3;    /* the user's per-printer key */

/*
 * Writes the size value `sizeName` (REG_DWORD, `size`) and then the value
 * `valueName` (REG_BINARY, `size` bytes of `data`) under the user's key of
 * `printer`, creating the key and the PRNID when absent.  Returns 1 or 0.
 */
BOOL PDT_WriteNDevToRegistry(HANDLE printer, ModelContext *context, const BYTE *data, DWORD size,
                             LPCWSTR valueName, LPCWSTR sizeName);

/*
 * Fills `extension` (4,292 bytes) with the model's defaults for `printer`:
 * a fresh settings image filled by the settings schema (printer name
 * "DummyName"), of which the part behind the 1,604-byte devmode is copied.
 * The schema writes through the data-manager binding, so the data manager
 * must be loaded.  Returns 1 or 0 (the buffer is then untouched).
 */
BOOL PDT_BuildDefaultExtension(HANDLE printer, BYTE *extension);

/*
 * Parses an N_Dev block at *position (*bytesLeft bytes from there) into
 * `extension` (4,292 bytes): tag "NDEV001", version at most 21048, an
 * extension length L within the bytes left and within the 4,292-byte
 * extension.  A version below 21048 is first filled with the defaults of
 * `printer` (PDT_BuildDefaultExtension), so that an older, shorter
 * extension keeps the defaults behind its end.  The extension's first
 * 16-bit word becomes 21048.  Returns 1 with the position and bytes left
 * moved past the block; 0 (nothing changed) when the block is not valid.
 */
BOOL PDT_ParseNDevHeader(const BYTE **position, DWORD *bytesLeft, BYTE *extension, HANDLE printer);

/*
 * Parses a TMBInfo block at *position: tag "TMBINFO", a data length D
 * within the bytes left (and at most 65,535).  Returns 1 with the data in a
 * new buffer (*data; null when D is 0), *length = D, and the position moved
 * past the block; 0 otherwise (*data null, *length 0).
 */
BOOL PDT_ParseTmbInfo(const BYTE **position, DWORD *bytesLeft, BYTE **data, DWORD *length);

/*
 * Takes the fax send list that makes up exactly the `bytesLeft` bytes at
 * `position` (tag "DFAX001", at most 86 entries, exactly 1,442 + 742 x
 * count bytes) into a new buffer.  Returns 1 with *list and *size; 0
 * otherwise (*list null, *size 0).
 */
BOOL PDT_ParseFaxSendList(const BYTE *position, DWORD bytesLeft, BYTE **list, DWORD *size);

/*
 * Writes N_Dev in store kind 2 or 3: the header (version 21048, length
 * 4,292), the 4,292-byte `extension`, then the fax send list when given
 * (`faxList` of `faxSize` bytes, a valid list of at most 86 entries).
 * Returns 1; 0 for another kind, a bad list or a failed write.
 */
BOOL PDT_WriteNDev(HANDLE printer, ModelContext *context, int kind, const BYTE *extension, const BYTE *faxList,
                   DWORD faxSize);

/*
 * Reads N_Dev from store kind 2 or 3 into `extension` (4,292 bytes; older
 * versions are filled over the defaults) and, when `faxList` is given, the
 * fax send list behind it (a new buffer, null with size 0 when there is
 * none).  Returns 1; 0 when the blob is missing or not valid, or bytes
 * behind the extension are not exactly one valid fax send list (`extension`
 * and the outputs are then untouched or cleared).
 */
BOOL PDT_ReadNDev(HANDLE printer, ModelContext *context, int kind, BYTE *extension, BYTE **faxList,
                  DWORD *faxSize);

/*
 * Writes TMBInfo (its header and `length` bytes of `data`; data null means
 * length 0) in store kind 2 or 3.  Returns 1; 0 for another kind, data
 * with a length of 0, a length above 65,535 or a failed write.
 */
BOOL PDT_WriteTmbInfo(HANDLE printer, ModelContext *context, int kind, const BYTE *data, DWORD length);

/*
 * Reads TMBInfo from store kind 2 or 3: a new buffer with its data (*data;
 * null when the length is 0) and *length.  Returns 1 or 0.
 */
BOOL PDT_ReadTmbInfo(HANDLE printer, ModelContext *context, int kind, BYTE **data, DWORD *length);

/*
 * Writes the document-property file `fileName`, which must exist already
 * (it is truncated, never created): the N_Dev header with length 4,292, the
 * extension, the TMBInfo header and data (when given), then the fax send
 * list (when given).  Returns 1; 0 when the file cannot be opened or a
 * write fails.
 */
BOOL PDT_WriteDeviceFile(LPCWSTR fileName, const BYTE *extension, const BYTE *tmbData, DWORD tmbLength,
                         const BYTE *faxList, DWORD faxSize);

/*
 * Reads the whole document-property file into a new buffer (*image, *size).
 * Returns 1; 0 when the file cannot be opened or read, or is empty or larger
 * than any such file can be.
 */
BOOL PDT_ReadDeviceFile(LPCWSTR fileName, BYTE **image, DWORD *size);

/*
 * Saves the three blobs: to the file `fileName` when given, else N_Dev
 * (with the fax send list behind it) and TMBInfo in store kind `kind`.
 * `extension` is required; tmbData null means no TMBInfo data (length 0),
 * tmbData with a length of 0 is refused; a fax send list with a byte count
 * of 0, of more than 86 entries, or whose count does not match its size is
 * refused.  Returns 1 when every blob was written.
 */
BOOL PDT_SaveDeviceBlobs(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind, const BYTE *faxList,
                         DWORD faxSize, const BYTE *extension, const BYTE *tmbData, DWORD tmbLength);

/*
 * Loads the three blobs from the file `fileName` when given, else from
 * store kind `kind`: the extension into `extension` (4,292 bytes,
 * required), the fax send list into a new buffer when `faxList` is given
 * (null when there is none), and TMBInfo into a new buffer when `tmbData`
 * is given (`tmbLength` is then required).  Returns 1; on failure 0, every
 * buffer handed out freed and its pointer cleared, *tmbLength and *faxSize
 * 0, `extension` untouched.
 */
BOOL PDT_LoadDeviceBlobs(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind, BYTE **faxList,
                         DWORD *faxSize, BYTE *extension, BYTE **tmbData, DWORD *tmbLength);

#endif /* TARVEL_PDT_BLOB_H */
