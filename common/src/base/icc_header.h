/*
 * Quick check that a file is an RGB ICC profile the driver can use, made
 * before a profile is offered or loaded.  It reads the 132 bytes of the
 * profile header and tag count and looks at four signatures; the full reader
 * of the rendering library checks the rest.
 */
#ifndef TARVEL_ICC_HEADER_H
#define TARVEL_ICC_HEADER_H

#include <plat/types.h>

/* Answers of CLU_CheckIccProfileHeader. */
enum : int {
    CLU_ICC_USABLE = 0,
    CLU_ICC_NO_PATH = -1,
    CLU_ICC_CANNOT_OPEN = -2,
    CLU_ICC_TOO_SHORT = -3,     /* fewer than 132 bytes could be read */
    CLU_ICC_CLOSE_FAILED = -4,  /* only after an otherwise good check */
    CLU_ICC_NOT_A_PROFILE = -5, /* file signature (offset 36) not "acsp" */
    CLU_ICC_WRONG_SPACE = -6,   /* colour space (16) not "RGB ", or class (12) neither "mntr" nor "scnr" */
    CLU_ICC_WRONG_PCS = -7,     /* connection space (20) neither "XYZ " nor "Lab " */
};

/*
 * Opens the file at the Windows path `path` (ANSI text) for reading, reads
 * its first 132 bytes and checks, in this order: the file signature, the
 * colour space, the connection space, the profile class.  The file is always
 * closed again.  Returns one of the CLU_ICC_ answers above; a failed check
 * takes precedence over a failed close.
 */
int CLU_CheckIccProfileHeader(const char *path);

#endif /* TARVEL_ICC_HEADER_H */
