/*
 * The application-escape extension of a device context (escapes 0x1071 to
 * 0x1074 and 0x1078): its record is set up when the device context is
 * created; the escapes themselves join this header with the escape work.
 */
#ifndef TARVELGR_JOB_EXT_H
#define TARVELGR_JOB_EXT_H

struct PdevContext;

/*
 * Initialises the context's extension record: extension off, no overrides
 * and no colour mode (0xFFFF), no image sequence; the protocol class
 * reported to applications, whether the duplex unit is installed (printer
 * data 4103) and whether the model is a colour device (model header entry
 * 5 is 2).  Returns 0, or -1 when the model's colour-support byte is 0xFF
 * or cannot be read; the record is then set up all the same, with the
 * extension off and nothing overridden.
 */
int JOB_InitExtState(PdevContext *pdev);

/*
 * First sheet of a job, with the extension on: keeps the job's own values
 * of settings 16, 295, 264, 294, 321, 296 and 270 and writes the
 * extension's overrides over them (setting 270 becomes 0, colour page by
 * page, while the application controls the colour).  With the extension
 * off nothing changes.  0, or -1 when a setting cannot be read or written.
 */
int ESC_SaveSettings(PdevContext *pdev);

/*
 * End of job: puts back the settings that application escapes changed for
 * the job (the extension's saved values).  0, or -1.
 */
int ESC_RestoreSettings(PdevContext *pdev);

#endif /* TARVELGR_JOB_EXT_H */
