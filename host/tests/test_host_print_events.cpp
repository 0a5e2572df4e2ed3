// `tarvel print` on GDI's road: every job passes the user-interface
// library's document events before the rendering library sees it, as the
// library's own trace log shows.
#include "host_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(HostPrintEvents, EveryJobPassesTheUserInterfaceLibrarysDocumentEvents)
{
    const auto dir = std::filesystem::temp_directory_path() / ("tarvel-print-events-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const std::string machine = "--machine " + (dir / "machine").string();
    int status = -1;
    std::string out = run(machine + " install \"Tarvel CX 1500\"", &status);
    ASSERT_EQ(status, 0) << out;
    /* The trace switch beside the libraries on that machine: entry and exit lines. */
    const auto driverDir = dir / "machine" / "c" / "Windows" / "System32" / "spool" / "drivers" / "x64" / "3";
    ASSERT_TRUE(std::filesystem::is_directory(driverDir));
    std::ofstream(driverDir / "tarvel.cfg", std::ios::binary) << "[LOG]\r\nLog=0x3\r\n";

    out = run(machine + " print -o " + (dir / "job.prn").string() + " --pages 2", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string trace =
        readFile(dir / "machine" / "c" / "DEBUG_LOG" / "WIN2000" / "DDI_PRNUI_TRACE_LOG.txt");
    EXPECT_NE(trace.find("IN <<DllInitialize_ATTACH"), std::string::npos);
    EXPECT_NE(trace.find("IN <<DrvDocumentEvent"), std::string::npos);
    EXPECT_NE(trace.find("OUT>>DrvDocumentEvent RetValue = 1"), std::string::npos) << "create-DC-pre built the job devmode";
    EXPECT_EQ(trace.find("DOC_OnStartDoc: not built yet"), std::string::npos) << "start of document is built";
    EXPECT_EQ(trace.find("RetValue = -1"), std::string::npos) << "no event failed";
    /* The job's header names the document and its user, as the job data told the renderer. */
    const std::string job = readFile(dir / "job.prn");
    EXPECT_EQ(job.rfind("\x1B%-12345X@PJL JOB MODE=PRINTER\n", 0), 0u);
    EXPECT_NE(job.find("@PJL COMMENT DNAME=Tarvel test document\n"), std::string::npos);
    EXPECT_NE(job.find("@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}
