/*
 * Setting-based paper rules: the custom paper size kept in the extension
 * block (1863 width, 1864 length, tenths of a millimetre) and its copy in
 * the public dmPaperWidth (10) and dmPaperLength (9), the user-size flag of
 * the printer data (5200), and the resolution limit for long papers.  Every
 * value is read and written through the data-manager binding.
 */
#ifndef TARVEL_FID_CUSTOM_SIZE_H
#define TARVEL_FID_CUSTOM_SIZE_H

#include <plat/types.h>

/* Directions of FID_CopyCustomSize. */
inline constexpr int FID_CUSTOM_TO_PUBLIC = 0; /* 1864 -> 9, 1863 -> 10 */
inline constexpr int FID_PUBLIC_TO_CUSTOM = 1; /* 9 -> 1864, 10 -> 1863 */

/* Longest side a page may have, in dots, and the same at one dot per tenth of a millimetre (28,000 x 254). */
inline constexpr LONG FID_MAX_PAGE_DOTS = 28000;
inline constexpr LONG FID_MAX_DOTS_TENTH_MM = 7112000;

/*
 * FID_GetCustomSize: the saved custom width (1863) and length (1864) of
 * the settings image.  Returns 1, or 0 when a read fails or an output is
 * null (outputs then untouched).
 */
BOOL FID_GetCustomSize(void *image, void *printerData, LONG *width, LONG *length);

/*
 * FID_CopyCustomSize: copies the custom size between the extension block
 * and the public paper fields (FID_CUSTOM_TO_PUBLIC or FID_PUBLIC_TO_CUSTOM).
 * Returns 1, or 0 for another direction or a failed read or write.
 */
BOOL FID_CopyCustomSize(int direction, void *image, void *printerData);

/* FID_GetUserSizeFlag: the value of printer-data flag 5200; 0 when it cannot be read. */
DWORD FID_GetUserSizeFlag(void *image, void *printerData);

/*
 * FID_LimitResolutionForPaper: lowers the resolution (dmPrintQuality and
 * dmYResolution) so that the paper's longer side (9 or 10, read as unsigned
 * 16-bit tenths of a millimetre) stays within
 * FID_MAX_PAGE_DOTS: to 600, 300 or 200 dpi.  Returns 1 when the resolution
 * was kept or lowered, 0 when no resolution of the three fits, the size is
 * not positive, or a read or write fails.
 */
BOOL FID_LimitResolutionForPaper(void *image);

#endif /* TARVEL_FID_CUSTOM_SIZE_H */
