/*
 * Copies of the colour printer for each model kind (setting 5137, the
 * printer family and model the settings upgrade tells apart), so that the
 * tests can meet every family and single model its rules name.
 */
#ifndef TARVEL_MODEL_KINDS_H
#define TARVEL_MODEL_KINDS_H

#include <modelwriter/model_writer.h>

#include <string>

namespace tarvel_models {

/*
 * The colour printer (format 0x1600) whose model kind defaults to `kind`
 * (setting 5137, described as a document feature, with that one value)
 * and with defaults for the printer-data settings 5127 (7), 4129 (off) and
 * 5153 (2) and the devmode settings 271 (1) and 350 (2), which the
 * upgrade resets, in files "K<kind>.DDD" and
 * "K<kind>.DDC" (with "B" behind the kind when `capability45`: then it also
 * has capability bit 45, binding with its own finishing).
 */
mw::Model printerOfKind(WORD kind, bool capability45 = false);

} // namespace tarvel_models

#endif /* TARVEL_MODEL_KINDS_H */
