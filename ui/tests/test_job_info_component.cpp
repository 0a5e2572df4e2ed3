// The job-information component: range lists and rule texts as tables
// ("41,5a,30,30" gives "41-5a,30"), the joined multi-strings, the reply
// walked into settings 5174, 5176 and 5175 as a table (three values, two, a
// string without "=", no terminator within 1,024 bytes), and a run against a
// stand-in component: what it is told, a negative result, no class.  Then
// the print-time prompt's road through the component: used and answering
// each way (sets A and B), missing, not offered by the model, switched off,
// its query failing, and the dialog road behind it.
#include "doc_events.h"
#include "doc_job_info_component.h"
#include "ui_test_support.h"

#include <standard_models.h>
#include <modelwriter/model_writer.h>

#include <tarvel/base/job_info_component.h>
#include <tarvel/base/util_text.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/com.h>
#include <plat/file.h>
#include <plat/loader.h>
#include <plat/memory.h>

#include <cstring>

namespace {

using namespace ui_test;

std::u16string settingText(std::vector<BYTE> &image, std::vector<BYTE> &printerData, WORD id)
{
    auto *p = reinterpret_cast<const BYTE *>(
        uintptr_t(DMB_GetTypedValue(image.data(), printerData.data(), id, SVT_WSTRING)));
    std::u16string text;
    for (size_t i = 0; p; i += 2) {
        char16_t c = 0;
        std::memcpy(&c, p + i, 2);
        if (!c)
            break;
        text += c;
    }
    return text;
}

/* ---- A stand-in component ------------------------------------------------ */

struct Component {
    std::vector<std::pair<std::string, std::string>> fields; /* name, descriptor bytes */
    std::string fieldNames;
    std::string reply; /* copied into the reply buffer, bytes as given */
    HRESULT runResult = S_OK;
    DWORD capacity = 0;
    int released = 0;
};
Component g_component;

std::string multiString(LPCSTR s)
{
    std::string out;
    while (*s) {
        out += s;
        out += '\0';
        s += std::strlen(s) + 1;
    }
    return out + '\0';
}

/* Texts one after another, each ended by NUL, and the empty text that ends them. */
std::string texts(std::initializer_list<const char *> list)
{
    std::string out;
    for (const char *t : list) {
        out += t;
        out += '\0';
    }
    return out + '\0';
}

ULONG release(JobInfoComponent *) { return ++g_component.released, 0; }
HRESULT setField(JobInfoComponent *, LPCSTR name, LPCSTR descriptor)
{
    g_component.fields.emplace_back(name, multiString(descriptor));
    return S_OK;
}
HRESULT run(JobInfoComponent *, HWND, LPCSTR fieldNames, LPSTR reply, DWORD capacity)
{
    g_component.fieldNames = multiString(fieldNames);
    g_component.capacity = capacity;
    std::memcpy(reply, g_component.reply.data(), std::min<size_t>(g_component.reply.size(), capacity));
    return g_component.runResult;
}
const JobInfoComponentVtbl kVtbl = {nullptr, nullptr, release, nullptr, nullptr, setField, run};
JobInfoComponent g_object{&kVtbl};

HRESULT factory(const IID &, void **object)
{
    *object = &g_object;
    return S_OK;
}

class JobInfoComponentTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter);
        context = MDL_Open(printer->handle);
        ASSERT_NE(context, nullptr);
        image.assign(SETTINGS_IMAGE_SIZE, 0);
        printerData.assign(SETTINGS_PRINTERDATA_SIZE, 0);
        ASSERT_TRUE(UPG_LoadPrinterData(printer->handle, printerData.data(), context));
        g_component = Component{};
    }
    void TearDown() override
    {
        MDL_Close(context);
        printer.reset();
        UiTest::TearDown();
    }
    std::string stored()
    {
        return plat::utf16_to_utf8(settingText(image, printerData, 5174)) + "|" +
               plat::utf16_to_utf8(settingText(image, printerData, 5176)) + "|" +
               plat::utf16_to_utf8(settingText(image, printerData, 5175));
    }
    std::unique_ptr<Printer> printer;
    ModelContext *context = nullptr;
    std::vector<BYTE> image, printerData;
};

TEST_F(JobInfoComponentTest, RangeLists)
{
    struct Case {
        const char *joined;
        bool pairMerge;
        const char *list;
    } cases[] = {
        {"41,5a,30,30", false, "41-5a,30"},
        {"30,39,41,5a", false, "30-39,41-5a"},
        {"5a,41", false, ""},                /* high below low: dropped */
        {"5a,41,61,7a", false, "61-7a"},
        {"41", false, "41"},                 /* a lone value stays */
        {"", false, ""},
        {"0x81,0x40,0x81,0x40,0x88,0x9f,0x98,0x72", true, "0x8140,0x889f-0x9872"},
        {"0x98,0x72,0x88,0x9f", true, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DOC_RangeListOf(c.joined, c.pairMerge), c.list) << c.joined;

    const UINT ids[] = {9235, 9220, 0};
    LPSTR list = nullptr;
    ASSERT_TRUE(DOC_BuildRangeList(&list, ids, FALSE));
    EXPECT_STREQ(list, "30-39,41-5a");
    GlobalFree(list);
    const UINT missing[] = {9220, 65000, 0};
    EXPECT_FALSE(DOC_BuildRangeList(&list, missing, FALSE));
    EXPECT_EQ(list, nullptr);
}

TEST_F(JobInfoComponentTest, RuleTextsAndJoinedTexts)
{
    const UINT single[] = {9235, 9220, 9221, 0}, dbcs[] = {9222, 0}, none[] = {0};
    LPSTR rule = nullptr;
    ASSERT_TRUE(DOC_BuildRuleText(&rule, single, dbcs));
    EXPECT_STREQ(rule, "CharRange=30-39,41-5a,61-7a,0x8140,0x889f-0x9872");
    GlobalFree(rule);
    ASSERT_TRUE(DOC_BuildRuleText(&rule, single, none));
    EXPECT_STREQ(rule, "CharRange=30-39,41-5a,61-7a") << "no comma without a second list";
    GlobalFree(rule);

    LPSTR joined = nullptr;
    ASSERT_NE(DOC_JoinAnsi3(&joined, "ab", "", "d"), nullptr);
    EXPECT_EQ(UTL_GetGlobalSize(joined), SIZE_T(7));
    EXPECT_EQ(std::string(joined, 7), std::string("ab\0\0d\0\0", 7));
    GlobalFree(joined);
    EXPECT_EQ(DOC_JoinAnsi3(&joined, nullptr, "b", "c"), nullptr);

    LPSTR ansi = nullptr;
    DWORD length = 0;
    ASSERT_TRUE(DOC_WideToAnsiAlloc(u"Caf\u00e9", &ansi, &length, 0));
    EXPECT_EQ(length, 5u);
    EXPECT_STREQ(ansi, "Caf\xe9");
    GlobalFree(ansi);
    EXPECT_FALSE(DOC_WideToAnsiAlloc(nullptr, &ansi, &length, 0));
}

TEST_F(JobInfoComponentTest, RepliesAsATable)
{
    struct Case {
        const char *what;
        std::string reply;
        int result;
        const char *stored;
    } cases[] = {
        {"three values", std::string("user=a\0pass=b\0acct=c\0\0", 22), 1, "a|b|c"},
        {"names are not compared", std::string("x=1\0y=2\0z=3\0\0", 14), 1, "1|2|3"},
        {"an equals sign in a value", std::string("u=a=b\0p=\0c=c\0\0", 15), 1, "a=b||c"},
        {"two values", std::string("u=a\0p=b\0\0", 9), 0, "a|b|"},
        {"a string without =", std::string("u=a\0pb\0c=c\0\0", 12), 0, "a||"},
        {"an empty reply", std::string("\0\0", 2), 0, "||"},
        {"no terminator within 1,024 bytes", "u=" + std::string(1022, 'x'), 0, "||"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (WORD id : {5174, 5176, 5175}) {
            LPCWSTR empty = u"";
            ASSERT_EQ(DMB_SetValue(id, image.data(), printerData.data(), SVT_WSTRING, 2, &empty), 0);
        }
        std::vector<char> reply(JOB_INFO_REPLY_BYTES, 0);
        std::memcpy(reply.data(), c.reply.data(), std::min<size_t>(c.reply.size(), reply.size()));
        EXPECT_EQ(DOC_ParseComponentReply(reply.data(), image.data(), printerData.data(), context), c.result);
        EXPECT_EQ(stored(), c.stored);
    }
}

TEST_F(JobInfoComponentTest, ARunTellsTheFieldsAndStoresTheReply)
{
    plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
    g_component.reply = std::string("n=alice\0p=secret\0a=42\0\0", 24);
    EXPECT_EQ(DOC_RunJobInfoComponent(nullptr, image.data(), printerData.data(), context), 1);
    EXPECT_EQ(stored(), "alice|secret|42");
    ASSERT_EQ(g_component.fields.size(), 3u);
    EXPECT_EQ(g_component.fields[0].first, "UserName");
    EXPECT_EQ(g_component.fields[0].second,
              texts({"CharRange=30-39,41-5a,61-7a,0x8140,0x889f-0x9872", "User name", "Enter the user name."}));
    EXPECT_EQ(g_component.fields[1].first, "Password");
    EXPECT_EQ(g_component.fields[1].second, texts({"CharRange=30-39,41-5a,0x8140", "Password", "Enter the password."}));
    EXPECT_EQ(g_component.fields[2].first, "Account");
    EXPECT_EQ(g_component.fieldNames, texts({"UserName", "Password", "Account"}));
    EXPECT_EQ(g_component.capacity, 1024u);
    EXPECT_EQ(g_component.released, 1);
    EXPECT_EQ(plat::com_thread_inits(), 0);

    /* A negative result of the run: -1, nothing stored. */
    g_component = Component{};
    g_component.runResult = E_FAIL;
    g_component.reply = std::string("n=bob\0p=x\0a=y\0\0", 15);
    EXPECT_EQ(DOC_RunJobInfoComponent(nullptr, image.data(), printerData.data(), context), -1);
    EXPECT_EQ(stored(), "alice|secret|42");
    EXPECT_EQ(g_component.released, 1);

    /* No such class: -1. */
    plat::com_unregister_class(CLSID_JobInfoComponent);
    EXPECT_EQ(DOC_RunJobInfoComponent(nullptr, image.data(), printerData.data(), context), -1);
    EXPECT_EQ(plat::com_thread_inits(), 0);
}

/* ---- The print-time prompt's road through the component ------------------ */

enum : WORD {
    S_PROMPT_ON = 5203,
    S_PROMPT_SET = 5163, /* 0: set A, else set B */
    S_PROMPT_A = 5164,
    S_PROMPT_B = 5165,
    S_USE_COMPONENT = 5186,
    S_PROMPT_GROUP = 5183,
};

/* A copy of the colour model that offers the job-information component (capability bit 43). */
mw::Model jobInfoModel()
{
    for (mw::Model m : tarvel_models::standardModels()) {
        if (m.fileName != "TARVEL1.DDD")
            continue;
        m.fileName = "TJOBINFO.DDD";
        m.companionName = "TJOBINFO.DDC";
        for (mw::FileHead *head : {&m.main, &m.companion}) {
            std::optional<mw::Entry> &entry = head->entries[39]; /* item 0: capability bits 32-63 */
            if (entry && !entry->items.empty() && entry->items[0].size() == 4)
                entry->items[0][1] |= 0x08; /* bit 43: bit 11 of the little-endian word */
            else
                entry = mw::eU32s({1u << 11, 0});
        }
        return m;
    }
    ADD_FAILURE() << "no colour model";
    return {};
}

class PromptRoad : public JobInfoComponentTest {
protected:
    void SetUp() override
    {
        JobInfoComponentTest::SetUp();
        const mw::Model m = jobInfoModel();
        std::string dir, error;
        ASSERT_TRUE(plat::map_path(plat::driver_dir_win(), dir));
        ASSERT_TRUE(mw::writeFiles(m, dir, error)) << error;
        install(u"Tarvel Job Info", m.fileName);
        offering = std::make_unique<Printer>(u"Tarvel Job Info");
        withComponent = MDL_Open(offering->handle);
        ASSERT_NE(withComponent, nullptr);
        ASSERT_TRUE(MDL_HasCapability(withComponent->main, MDL_CAP_BIT(43)));
        ASSERT_FALSE(MDL_HasCapability(context->main, MDL_CAP_BIT(43))) << "the standard model does not offer it";
    }
    void TearDown() override
    {
        plat::com_unregister_class(CLSID_JobInfoComponent);
        MDL_Close(withComponent);
        offering.reset();
        JobInfoComponentTest::TearDown();
    }
    void set(WORD id, int value)
    {
        setSetting(image.data(), printerData.data(), id, value);
    }
    ULONGLONG get(WORD id) { return DOC_GetNumber(image.data(), printerData.data(), id); }
    /* The prompt on, set A or B, the component asked for, both prompt flags 0, group 1, no names stored. */
    void prepare(int set, bool useComponent = true)
    {
        this->set(S_PROMPT_ON, 1);
        this->set(S_PROMPT_SET, set);
        this->set(S_USE_COMPONENT, useComponent ? 1 : 0);
        this->set(S_PROMPT_A, 0);
        this->set(S_PROMPT_B, 0);
        this->set(S_PROMPT_GROUP, 1);
        for (WORD id : {5174, 5176, 5175}) {
            LPCWSTR empty = u"";
            ASSERT_EQ(DMB_SetValue(id, image.data(), printerData.data(), SVT_WSTRING, 2, &empty), 0);
        }
        g_component = Component{};
    }
    int prompt(ModelContext *model)
    {
        SetLastError(0);
        return DOC_PromptJobInfo(nullptr, nullptr, image.data(), printerData.data(), model, 0);
    }
    std::unique_ptr<Printer> offering;
    ModelContext *withComponent = nullptr;
};

/*
 * Component offered, created and run.  Each creation of the stand-in is
 * released once: one for the availability query, one for the run.  Only a
 * run that stores all three values marks the chosen set's prompt done and
 * chooses the first group; any other answer cancels the job as it is.
 */
TEST_F(PromptRoad, TheComponentAnsweringEachWay)
{
    plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
    const std::string full("n=alice\0p=secret\0a=42\0\0", 24), shortReply("n=bob\0p=x\0\0", 11);
    struct Case {
        const char *what;
        int set;
        HRESULT run;
        std::string reply;
        int result;
        ULONGLONG flagA, flagB, group;
        const char *stored;
    } cases[] = {
        {"set A, the run stores the names", 0, S_OK, full, 1, 1, 0, 0, "alice|secret|42"},
        {"set B, the run stores the names", 1, S_OK, full, 1, 0, 1, 0, "alice|secret|42"},
        {"the run fails", 0, E_FAIL, full, -1, 0, 0, 1, "||"},
        {"the reply lacks a value", 1, S_OK, shortReply, -1, 0, 0, 1, "bob|x|"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        prepare(c.set);
        g_component.runResult = c.run;
        g_component.reply = c.reply;
        EXPECT_EQ(prompt(withComponent), c.result);
        EXPECT_EQ(g_component.released, 2);
        EXPECT_EQ(g_component.fieldNames, texts({"UserName", "Password", "Account"}));
        EXPECT_EQ(get(S_PROMPT_A) & 0xFF, c.flagA);
        EXPECT_EQ(get(S_PROMPT_B) & 0xFF, c.flagB);
        EXPECT_EQ(get(S_PROMPT_GROUP) & 0xFF, c.group);
        EXPECT_EQ(stored(), c.stored);
        EXPECT_NE(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED)) << "the dialog is not reached";
        EXPECT_EQ(plat::com_thread_inits(), 0);
    }
}

/*
 * The component not used: missing (offered by the model, no class), not
 * offered (the standard model, a class registered), or not asked for
 * (setting 5186 off).  The dialog road follows: a set whose prompt flag is
 * not 1 goes on; one whose flag is 1 needs the dialog, which is not built
 * yet, so the job is cancelled visibly.
 */
TEST_F(PromptRoad, WithoutTheComponentTheDialogRoadFollows)
{
    struct Case {
        const char *what;
        bool registered;
        bool offered;
        bool asked;
    } cases[] = {
        {"missing", false, true, true},
        {"not offered", true, false, true},
        {"not asked for", true, true, false},
    };
    for (const Case &c : cases) {
        if (c.registered)
            plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
        else
            plat::com_unregister_class(CLSID_JobInfoComponent);
        ModelContext *model = c.offered ? withComponent : context;
        for (int set : {0, 1}) {
            SCOPED_TRACE(std::string(c.what) + (set ? ", set B" : ", set A"));
            prepare(set, c.asked);
            EXPECT_EQ(prompt(model), 1) << "no prompt asked for this set";
            EXPECT_EQ(g_component.released, 0) << "no stand-in created";
            EXPECT_TRUE(g_component.fieldNames.empty()) << "the component is never run";
            EXPECT_EQ(get(S_PROMPT_GROUP) & 0xFF, 1u);

            this->set(set ? S_PROMPT_A : S_PROMPT_B, 1); /* the other set's flag does not count */
            EXPECT_EQ(prompt(model), 1);
            this->set(set ? S_PROMPT_B : S_PROMPT_A, 1);
            EXPECT_EQ(prompt(model), -1) << "the dialog is needed";
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
            EXPECT_TRUE(g_component.fieldNames.empty());
            EXPECT_EQ(plat::com_thread_inits(), 0);
        }
    }
}

/* A failing availability query cancels the job; the prompt switched off goes on without asking anything. */
TEST_F(PromptRoad, AFailingQueryAndThePromptSwitchedOff)
{
    plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
    prepare(0);
    EXPECT_EQ(prompt(nullptr), -1) << "no model context to ask";
    EXPECT_EQ(g_component.released, 0);
    EXPECT_NE(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(get(S_PROMPT_GROUP) & 0xFF, 1u);

    prepare(0);
    set(S_PROMPT_A, 1);
    set(S_PROMPT_ON, 0);
    EXPECT_EQ(prompt(withComponent), 1);
    EXPECT_EQ(g_component.released, 0);
    EXPECT_EQ(get(S_PROMPT_GROUP) & 0xFF, 1u);
    EXPECT_EQ(stored(), "||");
}

} // namespace
