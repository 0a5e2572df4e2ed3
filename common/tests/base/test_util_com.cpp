/*
 * The COM layer and the availability check of the job-information
 * component: a class from the factory table, the contexts, an uninitialised
 * thread, and the check as a table of models (capability bit 43 or not) and
 * registered classes; the component is released at once and COM left as it
 * was.
 */
#include "test_prn_support.h"

#include <tarvel/base/job_info_component.h>
#include <tarvel/base/util_ui_services.h>

#include <plat/com.h>

namespace {


struct Counts {
    int created = 0;
    int released = 0;
};
Counts g_counts;

ULONG release(JobInfoComponent *) { return ++g_counts.released, 0; }
const JobInfoComponentVtbl kVtbl = {nullptr, nullptr, release, nullptr, nullptr, nullptr, nullptr};
JobInfoComponent g_object{&kVtbl};

HRESULT factory(const IID &iid, void **object)
{
    if (!(iid == IID_JobInfoComponent))
        return E_NOINTERFACE;
    ++g_counts.created;
    *object = &g_object;
    return S_OK;
}

class UtilCom : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        model_test::ModelTest::SetUp();
        g_counts = Counts{};
    }
};


TEST_F(UtilCom, ClassesComeFromTheFactoryTable)
{
    void *object = &g_object;
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, CLSCTX_INPROC_SERVER, IID_JobInfoComponent, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(plat::com_thread_inits(), 2);
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, CLSCTX_INPROC_SERVER, IID_JobInfoComponent, &object),
              REGDB_E_CLASSNOTREG);
    plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, CLSCTX_LOCAL_SERVER, IID_JobInfoComponent, &object),
              REGDB_E_CLASSNOTREG) << "not registered out of process";
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, &g_object, CLSCTX_INPROC_SERVER, IID_JobInfoComponent,
                               &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, CLSCTX_INPROC_SERVER, CLSID_JobInfoComponent,
                               &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, JOB_INFO_COMPONENT_CONTEXT, IID_JobInfoComponent,
                               &object),
              S_OK);
    EXPECT_EQ(object, &g_object);
    EXPECT_EQ(CoCreateInstance(CLSID_JobInfoComponent, nullptr, CLSCTX_INPROC_SERVER, IID_JobInfoComponent, nullptr),
              E_POINTER);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize(); /* one too many: nothing happens */
    EXPECT_EQ(plat::com_thread_inits(), 0);
}

TEST_F(UtilCom, TheComponentIsAvailableWithBit43AndAClass)
{
    struct Row {
        const char *what;
        DWORD word1;
        bool registered;
        BOOL available;
        int created;
    } rows[] = {
        {"bit 43 and a class", 1u << 11, true, TRUE, 1},
        {"bit 43 without a class", 1u << 11, false, FALSE, 0},
        {"a class without bit 43", 1u << 10, true, FALSE, 0},
        {"neither", 0, false, FALSE, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        g_counts = Counts{};
        if (row.registered)
            plat::com_register_class(CLSID_JobInfoComponent, CLSCTX_INPROC_SERVER, factory);
        else
            plat::com_unregister_class(CLSID_JobInfoComponent);
        prn_test::Context context(prn_test::modelWithCapabilityWord1(row.word1));
        ASSERT_NE(context.p, nullptr);
        BOOL available = 7;
        EXPECT_TRUE(UTL_IsComComponentAvailable(context, &available));
        EXPECT_EQ(available, row.available);
        EXPECT_EQ(g_counts.created, row.created);
        EXPECT_EQ(g_counts.released, row.created) << "released at once";
        EXPECT_EQ(plat::com_thread_inits(), 0) << "COM left as it was";
    }
    BOOL available = 7;
    EXPECT_FALSE(UTL_IsComComponentAvailable(nullptr, &available));
    EXPECT_EQ(available, 7);
    prn_test::Context context(prn_test::modelWithCapabilityWord1(0));
    EXPECT_FALSE(UTL_IsComComponentAvailable(context, nullptr));
}

} // namespace
