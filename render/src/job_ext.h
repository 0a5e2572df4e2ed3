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
 * End of job: puts back the settings that application escapes changed for
 * the job (the extension's saved values).  0, or -1.
 */
int ESC_RestoreSettings(PdevContext *pdev);

#endif /* TARVELGR_JOB_EXT_H */
