/*
 * The resident faces of the standard model: device-font records whose
 * metrics blocks (a printer font metrics header of 1,000 units to the em,
 * its extended metrics, widths, kerning pairs and, for the Japanese face, a
 * double-byte width extension) describe fonts the printer holds.
 */
#ifndef TARVEL_MODELS_DEVICE_FONTS_H
#define TARVEL_MODELS_DEVICE_FONTS_H

#include <modelwriter/model_writer.h>

#include <vector>

namespace tarvel_models {

/* The metrics blocks of the resident faces, in record order (Courier, Helvetica, Helvetica Bold, Times, Mincho). */
mw::Bytes courierMetrics();
mw::Bytes helveticaMetrics();
mw::Bytes helveticaBoldMetrics();
mw::Bytes timesMetrics();
mw::Bytes minchoMetrics();

/* The device-font records after the first two (Helvetica Bold, Times, Mincho), numbered from `firstId`. */
std::vector<mw::DeviceFont> moreDeviceFonts(WORD firstId);

} // namespace tarvel_models

#endif
