/*
 * Helpers of the settings-upgrade tests: the stores fixture with the data
 * manager bound, printers of the model kinds the upgrade rules name, and
 * settings read and written by identifier in records the test owns.
 */
#ifndef TARVEL_TEST_UPG_SUPPORT_H
#define TARVEL_TEST_UPG_SUPPORT_H

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/upg_settings.h>

#include "test_prn_support.h"

#include <model_kinds.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace upg_test {

using namespace prn_test;

/* A setting's number in the records (devmode or printer data), failing the test when it cannot be read. */
inline DWORD get(void *devmode, void *printerData, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    EXPECT_EQ(DMB_GetValue(id, devmode, printerData, &type, &size, slot), 0) << id;
    return FID_ReadValueAsUInt(slot, type);
}

/* A number written with the type the setting reads as. */
inline void set(void *devmode, void *printerData, WORD id, DWORD value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    ASSERT_EQ(DMB_GetValue(id, devmode, printerData, &type, &size, slot), 0) << id;
    ASSERT_EQ(DMB_SetValue(id, devmode, printerData, type, size, &value), 0) << id;
}

inline std::u16string text(void *devmode, void *printerData, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    EXPECT_EQ(DMB_GetValue(id, devmode, printerData, &type, &size, slot), 0) << id;
    /* a string field may lie at an odd offset: read it unit by unit */
    const BYTE *s = reinterpret_cast<const BYTE *>(FID_SlotString(slot));
    std::u16string out;
    for (size_t i = 0; s; i += 2) {
        WCHAR c;
        std::memcpy(&c, s + i, 2);
        if (!c)
            break;
        out.push_back(c);
    }
    return out;
}

inline void setText(void *devmode, void *printerData, WORD id, const char16_t *value)
{
    LPCWSTR p = value;
    ASSERT_EQ(DMB_SetValue(id, devmode, printerData, SVT_WSTRING, LONG((plat::wlen(value) + 1) * 2), &p), 0) << id;
}

/* Wide text into an old record's bytes (without room checks: the tests choose the offsets). */
inline void putText(std::vector<BYTE> &bytes, size_t offset, const char16_t *value)
{
    for (size_t i = 0; value[i]; ++i)
        plat::store_u16(bytes.data(), offset + 2 * i, value[i]);
}

/* The stores fixture with the data manager bound. */
class UpgradeTest : public OpenStoreTest {
protected:
    void SetUp() override
    {
        OpenStoreTest::SetUp();
        bindDataManager();
    }

    /* The PrinterData defaults ("DummyName") of a model. */
    std::vector<BYTE> defaultRecord(ModelContext *context = nullptr)
    {
        std::vector<BYTE> r(SETTINGS_PRINTERDATA_SIZE, 0);
        EXPECT_TRUE(FID_InitDefaults(context ? context : this->context(), nullptr, r.data(), u"DummyName"));
        return r;
    }

    /* A printer of its own model kind: installed, opened with full access, its model open. */
    struct KindPrinter {
        std::unique_ptr<Printer> printer;
        std::unique_ptr<Context> context;
        HANDLE handle() const { return *printer; }
        ModelContext *model() const { return *context; }
    };
    KindPrinter kindPrinter(WORD kind, const char16_t *name, bool capability45 = false)
    {
        KindPrinter k;
        installModelPrinter(tarvel_models::printerOfKind(kind, capability45), name);
        k.printer = std::make_unique<Printer>(name);
        EXPECT_TRUE(k.printer->ok);
        k.context = std::make_unique<Context>(MDL_Open(*k.printer));
        EXPECT_NE(k.context->p, nullptr);
        return k;
    }

    static void storeRecord(HANDLE printer, const std::vector<BYTE> &blob)
    {
        ASSERT_TRUE(PDT_WriteNamedBlob(printer, blob.data(), DWORD(blob.size()), PDT_BLOB_PRINTERDATA));
    }
};

} // namespace upg_test

#endif /* TARVEL_TEST_UPG_SUPPORT_H */
