/*
 * The monitor's own PJL, byte for byte, and the inspection of the start of
 * a job stream.  The expected texts are written out by hand.
 */
#include "lm_fixture.h"
#include "status.h"

#include <cstring>
#include <string>

namespace {

const std::string kUel = "\x1b%-12345X";
const char kId[] = "0341424300004721000012AB";

class PjlTest : public MonitorTest {
protected:
    MonitorPort *port_of(DWORD kind)
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h));
        rec(h)->portKind = kind;
        return rec(h);
    }

    static HeaderParams params(DWORD status, DWORD job, DWORD name, const char *id = kId)
    {
        HeaderParams p{status, job, name, {}};
        std::strncpy(p.identifier, id, sizeof p.identifier - 1);
        return p;
    }
};

TEST_F(PjlTest, HeadersByPortKind)
{
    MonitorPort *port = port_of(KIND_USB | KIND_BIDI);
    char out[1024];
    HeaderParams usb = params(1, 1, 1);
    const std::string usbHeader = kUel +
                                  "@PJL USTATUS DEVICE=ON\r\n"
                                  "@PJL USTATUS JOB=ON\r\n"
                                  "@PJL USTATUS PAGE=ON\r\n"
                                  "@PJL INFO STATUS\r\n"
                                  "@PJL JOB NAME=\"0341424300004721000012AB\"\r\n";
    ASSERT_EQ(usbHeader.size(), 9u + 85u + 42u) << "UEL, 85 bytes of status lines, the JOB line";
    DWORD n = LMJ_BuildHeader(out, &usb, port);
    EXPECT_EQ(std::string(out, n), usbHeader);

    HeaderParams noName = params(0, 1, 0);
    n = LMJ_BuildHeader(out, &noName, port);
    EXPECT_EQ(std::string(out, n), kUel + "@PJL JOB\r\n");

    HeaderParams nothing = params(0, 0, 1);
    EXPECT_EQ(LMJ_BuildHeader(out, &nothing, port), 0u);

    port->portKind = KIND_NETWORK | KIND_BIDI;
    HeaderParams net = params(0, 1, 0);
    n = LMJ_BuildHeader(out, &net, port);
    EXPECT_EQ(std::string(out, n), kUel + "@PJL SET JOBATTR=\"@JCID=0341424300004721000012AB\"\r\n");

    port->portKind = KIND_LOCAL;
    EXPECT_EQ(LMJ_BuildHeader(out, &usb, port), 0u) << "only bidirectional ports get a header";
}

TEST_F(PjlTest, Trailers)
{
    MonitorPort *port = port_of(KIND_USB | KIND_BIDI);
    char out[256];
    HeaderParams p = params(1, 1, 1);
    DWORD n = LMJ_BuildTrailer(out, &p, port);
    EXPECT_EQ(n, 51u);
    EXPECT_EQ(std::string(out, n), "@PJL EOJ NAME=\"0341424300004721000012AB\"\r\n" + kUel);
    port->trailerOwed = 1;
    n = LMJ_BuildTrailer(out, &p, port);
    EXPECT_EQ(n, 61u);
    EXPECT_EQ(std::string(out, n), "\x04" + kUel + "@PJL EOJ NAME=\"0341424300004721000012AB\"\r\n" + kUel);
    port->trailerOwed = 0;
    port->portKind = KIND_LOCAL;
    n = LMJ_BuildTrailer(out, &p, port);
    EXPECT_EQ(std::string(out, n), "@PJL EOJ\r\n" + kUel) << "no name off bidirectional ports";
    HeaderParams noJob = params(1, 0, 1);
    EXPECT_EQ(LMJ_BuildTrailer(out, &noJob, port), 0u);
}

TEST_F(PjlTest, UstatusOffIsSentOnlyToAnIdentifiedQuietDevice)
{
    MonitorPort *port = port_of(KIND_USB | KIND_BIDI);
    struct Case {
        DWORD second, third;
        bool identified, sent;
    } cases[] = {
        {0x800, 0, true, true},  {0x900, 0, true, false},   {0x800, 0, false, false},
        {0x800, 0x1000, true, false}, {0x800, 0x200, true, false},
    };
    for (const Case &c : cases) {
        const DWORD words[3] = {0, c.second, c.third};
        LMP_Lock(port);
        LMS_StoreValue(LMS_FindVariable("PrinterStatus", port->statusVariables, port, TRUE), words);
        LMP_Unlock(port);
        LMP_ClearState(port, ST_IDENTIFIED);
        if (c.identified)
            LMP_SetState(port, ST_IDENTIFIED);
        const size_t before = plat::portmon_written().size();
        EXPECT_EQ(LMJ_SendUstatusOff(port), c.sent ? TRUE : FALSE);
        const std::string written = plat::portmon_written().substr(before);
        if (c.sent) {
            EXPECT_EQ(written, kUel + "@PJL USTATUSOFF\r\n" + kUel);
            EXPECT_EQ(written.size(), 35u);
        } else {
            EXPECT_TRUE(written.empty());
        }
        EXPECT_FALSE(LMP_TestState(port, ST_PORT_OPEN)) << "a port opened for it is closed again";
    }
}

TEST_F(PjlTest, StreamInspectionTable)
{
    MonitorPort *port = port_of(KIND_USB | KIND_BIDI);
    struct Case {
        const char *what;
        std::string stream;
        const char *identifier;
        DWORD fromStream;
        LONG language;
        DWORD hasUel, postScript;
        std::string after; /* the data after inspection (empty: unchanged) */
    } cases[] = {
        {"identifier and PCL XL", kUel + "@PJL SET JOBATTR=\"@JCID=AB12\"\r\n@PJL ENTER LANGUAGE=PCLXL\r\n", "AB12", 1,
         2, 1, 0, ""},
        {"empty identifier is blanked in the data", kUel + "@PJL SET JOBATTR=\"@JCID=\"\r\n", "OWN", 0, -1, 1, 0,
         kUel + "@PJL SET JOBATTR=\"      \"\r\n"},
        {"PostScript", "%!PS-Adobe-3.0\n@PJL ENTER LANGUAGE=PCLXL\r\n", "OWN", 0, 1, 0, 1, ""},
        {"only the first ENTER line counts",
         kUel + "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n@PJL SET JOBATTR=\"@JCID=ZZ\"\r\n", "OWN", 0, 1, 1, 1, ""},
        {"another language", kUel + "@PJL ENTER LANGUAGE=PCL\r\n", "OWN", 0, -1, 1, 0, ""},
        {"plain data is not scanned", "@PJL SET JOBATTR=\"@JCID=XY\"\r\n", "OWN", 0, -1, 0, 0, ""},
        {"no closing quote keeps the monitor's own", kUel + "@PJL SET JOBATTR=\"@JCID=ABCD", "OWN", 0, -1, 1, 0, ""},
        {"a cut prefix matches nothing", kUel + "@PJL SET JOB", "OWN", 0, -1, 1, 0, ""},
        {"an identifier longer than the field is cut",
         kUel + "@PJL SET JOBATTR=\"@JCID=" + std::string(100, 'Q') + "\"\r\n", nullptr, 1, -1, 1, 0, ""},
    };
    for (const Case &c : cases) {
        std::memset(port->jobIdentifier, 0, sizeof port->jobIdentifier);
        std::strcpy(port->jobIdentifier, "OWN");
        port->streamLanguage = 0;
        port->streamHasUel = 0;
        port->postScriptJob = 0;
        std::string data = c.stream;
        EXPECT_EQ(LMJ_InspectStream(port, reinterpret_cast<BYTE *>(data.data()), DWORD(data.size())), 1) << c.what;
        if (c.identifier)
            EXPECT_STREQ(port->jobIdentifier, c.identifier) << c.what;
        else
            EXPECT_EQ(std::string(port->jobIdentifier), std::string(80, 'Q')) << c.what;
        EXPECT_EQ(port->jobIdFromStream, c.fromStream) << c.what;
        EXPECT_EQ(port->streamLanguage, c.language) << c.what;
        EXPECT_EQ(port->streamHasUel, c.hasUel) << c.what;
        EXPECT_EQ(port->postScriptJob, c.postScript) << c.what;
        EXPECT_EQ(data, c.after.empty() ? c.stream : c.after) << c.what;
    }
    port->streamLanguage = 2;
    std::string again = kUel;
    EXPECT_EQ(LMJ_InspectStream(port, reinterpret_cast<BYTE *>(again.data()), DWORD(again.size())), 0)
        << "the language is settled";
}

} // namespace
