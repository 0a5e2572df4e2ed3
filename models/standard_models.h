/*
 * The standard models of the driver package, described with the model data
 * writer: a colour laser printer with optional trays, duplex unit, finisher
 * and hard disk ("TARVEL1.DDD"), its printer-and-fax sibling
 * ("TARVEL2.DDD"), and copies of the first at older data format versions
 * (just below and at each format gate) for the version tests.
 */
#ifndef TARVEL_STANDARD_MODELS_H
#define TARVEL_STANDARD_MODELS_H

#include <modelwriter/model_writer.h>

#include <vector>

namespace tarvel_models {

/* The colour printer at a data format version; fax: the printer-and-fax sibling. */
mw::Model colourPrinter(DWORD formatVersion, bool fax = false);

/* Every model file pair the build writes into the driver directory. */
std::vector<mw::Model> standardModels();

/* Format versions of the copies: just below and at each gate. */
std::vector<DWORD> gateVersions();

} // namespace tarvel_models

#endif /* TARVEL_STANDARD_MODELS_H */
