/*
 * Tests of the user-interface utilities: the two that wait for services
 * not built yet fail visibly (failure value, ERROR_CALL_NOT_IMPLEMENTED, one
 * debugger line naming them), and the stub interface of the fax
 * destination service gives its fixed answers.
 */
#include "test_res_support.h"

#include <tarvel/base/util_ui_services.h>

#include <plat/debug.h>
#include <plat/error.h>
#include <plat/fault.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/security.h>

namespace {

class UtilUiServices : public res_test::MachineTest {};

TEST_F(UtilUiServices, AdministratorCheckReadsTheTokensGroups)
{
    EXPECT_TRUE(UTL_IsUserAdmin()) << "the machine's user is an administrator at first";
    plat::security_set_admin(false);
    EXPECT_FALSE(UTL_IsUserAdmin());
    plat::security_set_admin(true);
    EXPECT_TRUE(UTL_IsUserAdmin());

    /* The token itself: its groups, the sizes, the rights. */
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(uintptr_t(8)), TOKEN_QUERY, &token));
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetTokenInformation(token, TokenGroups, info.data(), needed, &needed));
    EXPECT_EQ(reinterpret_cast<TOKEN_GROUPS *>(info.data())->GroupCount, 3u);
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, info.data(), needed, &needed));
    EXPECT_TRUE(CloseHandle(token));
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), 0, &token));
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, info.data(), needed, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(token));

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID a = nullptr, b = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &a));
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &b));
    EXPECT_TRUE(EqualSid(a, a));
    EXPECT_FALSE(EqualSid(a, b));
    EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &b));
    FreeSid(a);
    FreeSid(b);
}

TEST_F(UtilUiServices, StubInterfaceAnswersItsFixedValues)
{
    EXPECT_EQ(STB_Open(u"Printer"), -100);
    EXPECT_EQ(STB_Open(nullptr), -100);
    EXPECT_EQ(STB_Query(nullptr, nullptr), -101);

    int a = 0, b = 0, c = 0;
    StbReply *reply = nullptr;
    HANDLE service = &a;
    EXPECT_EQ(STB_Request(service, &b, &reply, &c), -100);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(STB_Request(nullptr, &b, &reply, &c), -1);
    EXPECT_EQ(STB_Request(service, nullptr, &reply, &c), -1);
    EXPECT_EQ(STB_Request(service, &b, nullptr, &c), -1);
    EXPECT_EQ(STB_Request(service, &b, &reply, nullptr), -1);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(STB_Request(service, &b, &reply, &c), -5);
    plat::fault_fail_alloc_after(0);

    /* A reply with and without a buffer is freed whole (leak checking sees the rest). */
    auto *full = static_cast<StbReply *>(GlobalAlloc(GPTR, sizeof(StbReply)));
    full->buffer = GlobalAlloc(GPTR, 32);
    EXPECT_EQ(STB_FreeReply(full), 1);
    auto *empty = static_cast<StbReply *>(GlobalAlloc(GPTR, sizeof(StbReply)));
    EXPECT_EQ(STB_FreeReply(empty), 1);
    EXPECT_EQ(STB_FreeReply(nullptr), -1);
}

} // namespace
