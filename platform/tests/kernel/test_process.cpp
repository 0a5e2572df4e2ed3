// Starting programs: each launch recorded with its program, command line
// and folder; scripted failures answered with their error; handles that
// CloseHandle closes; bad arguments refused without a record.
#include "test_loader_fixture.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/process.h>

#include <string>

class Process : public FreshMachine {};

TEST_F(Process, ALaunchIsRecordedAndItsHandlesClose)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::u16string line = u"C:\\tools\\helper.exe /ID:7";
    ASSERT_TRUE(CreateProcessW(u"C:\\tools\\helper.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    EXPECT_NE(pi.hProcess, nullptr);
    EXPECT_NE(pi.hThread, nullptr);
    EXPECT_NE(pi.dwProcessId, pi.dwThreadId);
    EXPECT_EQ(plat::process_open_handles(), 2u);
    std::vector<plat::ProcessLaunch> log = plat::process_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].application, u"C:\\tools\\helper.exe");
    EXPECT_EQ(log[0].commandLine, u"C:\\tools\\helper.exe /ID:7");
    EXPECT_TRUE(log[0].directory.empty());
    EXPECT_TRUE(log[0].started);
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_EQ(plat::process_open_handles(), 0u);
    EXPECT_FALSE(CloseHandle(pi.hThread)) << "closed once";
}

TEST_F(Process, AScriptedFailureAndBadArguments)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    plat::process_script_failure(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CreateProcessW(u"C:\\missing.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, u"C:\\", &si, &pi));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(pi.hProcess, nullptr) << "nothing handed out";
    /* the script is used up: the next launch starts */
    EXPECT_TRUE(CreateProcessW(u"C:\\missing.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    EXPECT_FALSE(CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CreateProcessW(u"C:\\a.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, nullptr));
    std::vector<plat::ProcessLaunch> log = plat::process_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].started);
    EXPECT_EQ(log[0].directory, u"C:\\");
    EXPECT_TRUE(log[1].started);

    plat::process_script_failure(ERROR_ACCESS_DENIED);
    plat::machine_reset((root / "again").string());
    EXPECT_TRUE(plat::process_log().empty());
    EXPECT_TRUE(CreateProcessW(u"C:\\a.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << "the reset emptied the script";
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}
