/*
 * The job-language records of the models.  Each record is a command, a
 * fixed value or a setting whose value follows the command, and conditions
 * on settings joined by connectors (1 and, 2 or, 3 end of an alternative,
 * 4 last, 5 and-not, 6 last-not).  A command beginning with "%" is a marker:
 * the header writes its generated attribute lines there.
 *
 * The standard models write the JOBATTR form: values of records with a
 * fixed text go into "@PJL SET JOBATTR=" lines between double quotes.  The
 * plain-form models (TARVEL3, TARVEL4) write "command=value" lines and
 * carry a record for each value with a formatter of its own.
 */
#include "job_language.h"

#include "standard_models.h"

#include <algorithm>

using namespace mw;

namespace tarvel_models {

namespace {

/* Operators. */
constexpr BYTE kEq = 1;
constexpr BYTE kNe = 2;

Condition cond(WORD settingId, BYTE op, Value v, BYTE connector)
{
    return Condition{Setting{0, op, settingId, std::move(v)}, connector};
}

/* Adds job lines with identifiers in table order from 1. */
struct Lines {
    Model &m;
    WORD next = 1;
    void add(WORD settingId, std::vector<Condition> conditions, const char *command, const char *fixed,
             WORD attribute = 0)
    {
        JobLine line{next++, settingId, std::move(conditions), stored(command), fixed ? stored(fixed) : noText(),
                     attribute};
        m.add(encode(line, m.formatVersion));
    }
};

constexpr const char *kJobAttr = "@PJL SET JOBATTR=";

/* Job types (setting 334). */
constexpr WORD kJobStored = 2;
constexpr WORD kJobDelayed = 3;
constexpr WORD kJobFax = 5;

} // namespace

void addStandardJobLines(Model &m, bool fax)
{
    Lines l{m};
    if (fax)
        l.add(0, {cond(334, kEq, vUShort(kJobFax), 4)}, "@PJL JOB MODE=", "FAX");
    l.add(0, {}, "@PJL JOB MODE=", "PRINTER");
    l.add(8201, {}, kJobAttr, "@JCID=");
    l.add(8193, {}, kJobAttr, "@JOAU=");
    l.add(0x9026, {}, kJobAttr, "@JOBN=");
    l.add(12, {}, "@PJL SET COPIES=", nullptr);
    l.add(0, {cond(16, kEq, vShort(1), 4)}, "@PJL SET DUPLEX=", "OFF");
    l.add(0, {cond(16, kNe, vShort(1), 4)}, "@PJL SET DUPLEX=", "ON");
    l.add(0, {cond(16, kEq, vShort(2), 4)}, "@PJL SET BINDING=", "LONGEDGE");
    l.add(0, {cond(16, kEq, vShort(3), 4)}, "@PJL SET BINDING=", "SHORTEDGE");
    /* Grey for monochrome (colour mode 1) in either orientation (value array 1 holds 1 and 2). */
    l.add(0, {cond(270, kEq, vUShort(1), 1), cond(7, kEq, vArrayRef(1), 4)}, "@PJL SET RENDERMODE=", "GRAYSCALE");
    l.add(0, {cond(270, kNe, vUShort(1), 4)}, "@PJL SET RENDERMODE=", "COLOR");
    l.add(20, {}, "@PJL SET RESOLUTION=", nullptr);
    l.add(0, {cond(4363, kEq, vByte(1), 4)}, kJobAttr, "\"@JOBK=SECURE\"");
    l.add(329, {cond(4363, kEq, vByte(1), 4)}, kJobAttr, "@PSWD=");
    if (fax) {
        l.add(1800, {cond(334, kEq, vUShort(kJobFax), 1), cond(1800, kEq, vUShort(1), 4)}, kJobAttr, "@FATM=");
        l.add(1865, {cond(334, kEq, vUShort(kJobFax), 4)}, kJobAttr, "@FASN=");
    }
    l.add(0, {}, "%INSERT", nullptr);
    l.add(0, {}, "@PJL ENTER LANGUAGE=", "PCLXL");
}

namespace {

/* The plain form's records: one for each value with its own formatter, the connector patterns, the memo. */
void addPlainJobLines(Model &m, bool withJobMode)
{
    Lines l{m};
    if (withJobMode)
        l.add(0, {}, "@PJL JOB MODE=", "PRINTER", 1);
    l.add(0x9026, {}, "@PJL SET JOBNAME=", nullptr, 1);
    l.add(8193, {}, "@PJL SET USERNAME=", nullptr, 1);
    l.add(8201, {}, "@PJL SET JOBID=", nullptr, 1);
    l.add(12, {}, "@PJL SET COPIES=", nullptr, 1);
    l.add(16, {cond(16, kNe, vShort(1), 4)}, "@PJL SET DUPLEX=", nullptr, 1);
    l.add(410, {cond(410, kNe, vUShort(0), 4)}, "@PJL SET PAPER=", nullptr, 1);
    l.add(411, {cond(411, kNe, vUShort(0), 4)}, "@PJL SET PAPER2=", nullptr, 1);
    l.add(412, {cond(410, kNe, vUShort(0), 4)}, "@PJL SET FEED=", nullptr, 1);
    l.add(438, {cond(411, kNe, vUShort(0), 4)}, "@PJL SET FEED2=", nullptr, 1);
    l.add(435, {}, "@PJL SET BOXNUMBER=", nullptr, 1);
    l.add(1831, {cond(334, kEq, vUShort(kJobStored), 4)}, "@PJL SET STOREDNAME=", nullptr, 1);
    l.add(1834, {}, "@PJL SET BOXLIST=", nullptr, 1);
    l.add(0x8010, {cond(334, kEq, vUShort(kJobDelayed), 4)}, "@PJL SET HOLDUNTIL=", nullptr, 1);
    l.add(329, {}, "@PJL SET PASSWORD=", nullptr, 1);
    /* Connector patterns over orientation (7), duplex (16) and collate (18). */
    l.add(0, {cond(7, kEq, vShort(2), 1), cond(16, kEq, vShort(2), 1), cond(18, kEq, vShort(1), 4)},
          "@PJL COMMENT ALL=", "1-1-4", 1);
    l.add(0, {cond(7, kEq, vShort(2), 2), cond(16, kEq, vShort(2), 2), cond(18, kEq, vShort(1), 4)},
          "@PJL COMMENT ANY=", "2-2-4", 1);
    l.add(0, {cond(7, kEq, vShort(2), 1), cond(16, kEq, vShort(2), 1), cond(18, kEq, vShort(1), 6)},
          "@PJL COMMENT NOTALL=", "1-1-6", 1);
    l.add(0, {cond(7, kEq, vShort(2), 1), cond(16, kEq, vShort(2), 3), cond(18, kEq, vShort(1), 4)},
          "@PJL COMMENT GROUPS=", "1-3-4", 1);
    l.add(0, {cond(7, kEq, vShort(2), 5), cond(16, kEq, vShort(2), 3), cond(18, kEq, vShort(1), 4)},
          "@PJL COMMENT ANDNOT=", "5-3-4", 1);
    /* One keyword in two records; the first lacks attribute bit 0, so with setting 336 at 1 the memo
       drops the keyword altogether. */
    l.add(0, {cond(345, kEq, vUShort(1), 4)}, "@PJL SET ECONOMODE=", "ON", 0);
    l.add(0, {cond(345, kNe, vUShort(1), 4)}, "@PJL SET ECONOMODE=", "OFF", 1);
    if (withJobMode)
        l.add(0, {}, "@PJL JOB MODE=", "AGAIN", 1);
    l.add(0, {}, "%INSERT", nullptr, 1);
    l.add(0, {}, "@PJL ENTER LANGUAGE=", "PCLXL", 1);
}

Model plainModel(const char *name, bool withJobMode)
{
    Model m = colourPrinter(DDD_GATE_0x1600);
    m.fileName = std::string(name) + ".DDD";
    m.companionName = std::string(name) + ".DDC";
    m.records.erase(std::remove_if(m.records.begin(), m.records.end(),
                                   [](const Record &r) { return r.kind == DDD_KIND_JOB_LINE; }),
                    m.records.end());
    for (FileHead *h : {&m.main, &m.companion}) {
        h->modelName = "Tarvel CX 1500P";
        h->entries[17] = eText(stored(h->modelName));
        h->entries[26] = eU32(0x2 | 0x8 | 0x10000 | 0x20000 | 0x200000 | 0x4000000);
        h->entries[39] = eU32s({(1u << 0) | (1u << 1) | (1u << 7) | (1u << 10) | (1u << 23) | (1u << 30), 0});
    }
    addPlainJobLines(m, withJobMode);
    return m;
}

} // namespace

Model plainFormPrinter() { return plainModel("TARVEL3", true); }

Model plainFormPrinterWithoutJobMode() { return plainModel("TARVEL4", false); }

} // namespace tarvel_models
