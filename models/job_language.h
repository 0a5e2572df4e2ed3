/*
 * The job-language records (kind 15) of the models: the lines of the PJL
 * job header that the standard models write in the JOBATTR form, and two
 * printer models that write the plain form ("@EOJO" trailer) with a record
 * for each value that has a formatter of its own, records under each
 * connector pattern, repeated keywords for the keyword memo, and a marker
 * record for the generated inserts.
 */
#ifndef TARVEL_JOB_LANGUAGE_H
#define TARVEL_JOB_LANGUAGE_H

#include <modelwriter/model_writer.h>

namespace tarvel_models {

/* Adds the job-language records of the colour printer (fax: of its printer-and-fax sibling). */
void addStandardJobLines(mw::Model &m, bool fax);

/*
 * "TARVEL3.DDD": the colour printer with the plain-form job language
 * (entry-26 flags 0x2, 0x8, 0x10000, 0x20000, 0x200000, 0x4000000, no
 * 0x40000; capability bits 42, 55 and 62), its own job-language records,
 * and the model name "Tarvel CX 1500P".
 */
mw::Model plainFormPrinter();

/* "TARVEL4.DDD": TARVEL3 without its "@PJL JOB MODE=" record. */
mw::Model plainFormPrinterWithoutJobMode();

} // namespace tarvel_models

#endif /* TARVEL_JOB_LANGUAGE_H */
