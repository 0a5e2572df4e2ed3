// Whole jobs of the standard model as the job lister reads them: the PJL
// header before the stream header, the operators in a compact text form
// (name and attributes, comments as their text) and the bytes after the
// last one; and the parts of such jobs worked out by hand (PJL header,
// sheet sides, job-information block), with the fixture that prints them.
#ifndef RENDER_TESTS_JOB_LISTING_H
#define RENDER_TESTS_JOB_LISTING_H

#include "test_job_support.h"

#include "pxllist/pxllist.h"

#include <plat/clock.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace job_test {

/* One operator in a compact form: its name, then each attribute as name=values; comments as their text. */
inline std::string compact(const pxllist::Record &r)
{
    if (r.op == pxllist::op::kComment) {
        const pxllist::Attribute *a = pxllist::FindAttribute(r, pxllist::attr::kCommentData);
        return "Comment " + (a ? pxllist::AttributeText(*a) : std::string());
    }
    std::string s(pxllist::OperatorName(r.op));
    for (const pxllist::Attribute &a : r.attributes) {
        s += " " + std::string(a.name) + "=";
        for (size_t i = 0; i < a.values.size(); i++) {
            char v[32];
            std::snprintf(v, sizeof v, "%s%g", i ? "," : "", a.values[i]);
            s += v;
        }
    }
    return s;
}

struct Job {
    std::string bytes;
    pxllist::Listing listing;
    std::vector<std::string> ops;   /* compact form of every operator */
    std::string header;             /* the PJL bytes before the stream header line */
    std::string streamHeader;       /* the stream header line with its line end */
    std::string trailer;            /* the bytes after the last operator */
};

inline Job list(const std::string &bytes)
{
    Job j;
    j.bytes = bytes;
    std::span<const uint8_t> span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    EXPECT_TRUE(pxllist::ListJob(span, {}, &j.listing)) << pxllist::FormatError(j.listing.error);
    size_t lastOp = 0;
    for (const pxllist::Record &r : j.listing.records) {
        if (r.kind == pxllist::RecordKind::kStreamHeader) {
            j.header = bytes.substr(0, size_t(r.offset));
            j.streamHeader = bytes.substr(size_t(r.offset), size_t(r.length));
        } else if (r.kind == pxllist::RecordKind::kOperator && r.depth == 0) {
            j.ops.push_back(compact(r));
            lastOp = size_t(r.offset + r.length);
        }
    }
    j.trailer = bytes.substr(lastOp);
    return j;
}

/* The MediaSource attribute of every BeginPage of the job, in order ("MediaSource=N"). */
inline std::vector<std::string> mediaSources(const Job &j)
{
    std::vector<std::string> sources;
    for (const std::string &op : j.ops)
        if (op.rfind("BeginPage", 0) == 0)
            sources.push_back(op.substr(op.find("MediaSource"), 13));
    return sources;
}

/* The fixed moment of every job here: 7 March 2024, 09:05:01 (tick 5000). */
inline SYSTEMTIME fixedTime() { return localTime(2024, 3, 7, 9, 5, 1); }

inline const std::string kUel = "\x1B%-12345X";

/* The PJL header of the standard model for the document "Report" by "tarvel" (the model's job-language records in order). */
inline std::string pjlHeader(const std::string &duplex, int copies)
{
    return kUel +
           "@PJL JOB MODE=PRINTER\n"
           "@PJL SET STRINGCODESET=UTF8\n"
           "@PJL COMMENT DATE=03/07/2024\n"
           "@PJL COMMENT TIME=09:05:01\n"
           "@PJL COMMENT DNAME=Report\n"
           "@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"
           "@PJL SET JOBATTR=\"@JOBN=Report\"\n"
           "@PJL SET COPIES=" +
           std::to_string(copies) + "\n" + duplex +
           "@PJL SET RENDERMODE=COLOR\n" /* colour mode 2: colour */
           "@PJL SET RESOLUTION=600\n"
           "@PJL SET JOBATTR=\"@NUPL=0\"\n"
           "@PJL ENTER LANGUAGE=PCLXL\n";
}

inline const std::string kSimplex = "@PJL SET DUPLEX=OFF\n";
inline const std::string kLongEdge = "@PJL SET DUPLEX=ON\n@PJL SET BINDING=LONGEDGE\n";

/* Windows 10.0 (the machine's version) in hexadecimal, protocol class 2.0 (the printer's default). */
inline const std::string kStreamHeader = ") HP-PCL XL;2;1;QZKRL2-2.0.0,WINNT-a.0,KRL2DRV-1.1.0.0\n";

/* The operators of one page side as the sheet pipeline writes them, for a transform of origin (x, y), scale s, angle a. */
inline std::vector<std::string> side(int ms, const std::string &origin, const std::string &scale, int angle,
                              const std::string &media = "MediaSource=1 MediaSize=2")
{
    std::string t = "[" + std::to_string(ms) + "ms]";
    return {"Comment QZPC=03",
            "BeginPage Orientation=0 " + media,
            "Comment \"" + t + "StartPage\"",
            "SetPageRotation PageAngle=0",
            "SetPageDefaultCTM",
            "SetPageOrigin PageOrigin=" + origin,
            "SetPageScale PageScale=" + scale,
            "SetPageRotation PageAngle=" + std::to_string(angle),
            "Comment QZSR=00",
            "Comment \"" + t + "EndPage of Logical\"",
            "EndPage",
            "Comment \"" + t + "EndPage of Physical\""};
}

/* The job-information block: the job items worked out for the job, then one PAGEINFO line per side. */
inline std::string jobInfo(const std::string &items, const std::vector<std::string> &pages)
{
    std::string s = "@PJL COMMENT QZJOBINFO VERSION=1.1.0\n"
                    "@PJL COMMENT QZJOBINFO BEGIN\n"
                    "@PJL COMMENT QZJOBINFO PDLTYPE=PDL[PCLXL]:VERSION[2.0.0]\n"
                    "@PJL COMMENT QZJOBINFO JOBTYPE=PRINT\n"
                    "@PJL COMMENT QZJOBINFO STOREDJOBTYPE=IMMEDIATE\n" +
                    items + "@PJL COMMENT QZJOBINFO PAGEINFOBEGIN\n";
    for (const std::string &p : pages)
        s += "@PJL COMMENT QZJOBINFO PAGEINFO=" + p + "\n";
    return s + "@PJL COMMENT QZJOBINFO PAGEINFOEND\n@PJL COMMENT QZJOBINFO END\n";
}

inline std::string items(int jobCopies, int pageCopies, const char *duplex, int nup, int logical, int sheets)
{
    return "@PJL COMMENT QZJOBINFO JOBCOPIES=" + std::to_string(jobCopies) +
           "\n@PJL COMMENT QZJOBINFO PAGECOPIES=" + std::to_string(pageCopies) +
           "\n@PJL COMMENT QZJOBINFO DUPLEXTYPE=" + duplex + "\n@PJL COMMENT QZJOBINFO NUP=" + std::to_string(nup) +
           "\n@PJL COMMENT QZJOBINFO POSTER=1\n"
           "@PJL COMMENT QZJOBINFO BOOKLETTYPE=TYPE[NOBOOKLET]\n"
           "@PJL COMMENT QZJOBINFO PAGEORDER=1TON\n"
           "@PJL COMMENT QZJOBINFO SLIPSHEET=NOSLIPSHEET\n"
           "@PJL COMMENT QZJOBINFO TONERSAVE=OFF\n"
           "@PJL COMMENT QZJOBINFO PHYSICALPAGES=0\n" /* blank sides are not counted */
           "@PJL COMMENT QZJOBINFO LOGICALPAGES=" +
           std::to_string(logical) + "\n@PJL COMMENT QZJOBINFO ESTIMATEDSHEETS=" + std::to_string(sheets) + "\n";
}

inline const char kA4Simplex[] = "SIZE[210.0X297.0]:MODE[EMPTY]::INTRAY[0]:DUPLEX[SIMPLEX]";
inline const char kA4Duplex[] = "SIZE[210.0X297.0]:MODE[EMPTY]::INTRAY[0]:DUPLEX[DUPLEX]";

class FirstJob : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        dm->set(13, 7);   /* Automatically Select: media source 1 */
        dm->set(1334, 0); /* blank pages are printed */
        ASSERT_TRUE(plat::clock_fix(fixedTime(), 5000));
    }

    /* Prints `pages` blank pages, 100 ms apart on the fixed clock; false when a call failed. */
    bool printBlank(int pages) { return startDoc() && finishBlank(pages); }

    /* The rest of a started document: `pages` blank pages 100 ms apart, then its end; false when a call failed. */
    bool finishBlank(int pages)
    {
        for (int i = 0; i < pages; i++) {
            Sleep(100);
            if (!DrvStartPage(so) || !DrvSendPage(so))
                return false;
        }
        Sleep(100);
        return DrvEndDoc(so, 0);
    }

    /* One blank page per devmode through the graphics interface, ResetDCW before a page whose devmode differs. */
    std::string printThroughDc(const std::vector<JobDevmode *> &pages)
    {
        HDC dc = CreateDCW(nullptr, kColourPrinter, nullptr, pages[0]->dm());
        EXPECT_NE(dc, nullptr) << GetLastError();
        if (!dc)
            return "";
        DOCINFOW doc{sizeof(DOCINFOW), u"Report", nullptr, nullptr, 0};
        int job = StartDocW(dc, &doc);
        EXPECT_GT(job, 0);
        for (size_t i = 0; i < pages.size(); i++) {
            if (i > 0 && pages[i] != pages[i - 1]) {
                EXPECT_EQ(ResetDCW(dc, pages[i]->dm()), dc) << GetLastError();
            }
            EXPECT_GT(StartPage(dc), 0);
            EXPECT_GT(EndPage(dc), 0);
        }
        EXPECT_GT(EndDoc(dc), 0);
        EXPECT_TRUE(DeleteDC(dc));
        std::vector<BYTE> bytes;
        EXPECT_TRUE(plat::spool_job_bytes(DWORD(job), bytes));
        return std::string(bytes.begin(), bytes.end());
    }
};

/* The sequence of the whole job: session, begin comment, the sides, the end comment, the session's end. */
inline std::vector<std::string> frame(const std::vector<std::vector<std::string>> &sides, int endMs,
                               const std::vector<std::string> &beforeEnd = {})
{
    std::vector<std::string> ops = {"BeginSession UnitsPerMeasure=600,600 Measure=0 ErrorReport=0",
                                    "OpenDataSource SourceType=0 DataOrg=1",
                                    "Comment \"[2024,03/07,09:05:01][Report][FILE:]\""};
    for (const auto &s : sides)
        ops.insert(ops.end(), s.begin(), s.end());
    ops.insert(ops.end(), beforeEnd.begin(), beforeEnd.end());
    ops.push_back("Comment \"[" + std::to_string(endMs) + "ms]EndJob\"");
    ops.push_back("CloseDataSource");
    ops.push_back("EndSession");
    return ops;
}

} // namespace job_test

#endif /* RENDER_TESTS_JOB_LISTING_H */
