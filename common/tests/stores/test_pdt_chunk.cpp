/*
 * Chunked printer data: blobs of every boundary size written and read back
 * with their chunk layout checked value by value, the refusals of the
 * writer, a reader that refuses a blob with a missing or mis-sized chunk
 * and ignores stale chunks, the named blob table, deletion, an ordinary
 * user's handle and persistence across processes.
 */
#include <tarvel/stores/pdt_chunk.h>

#include "test_prn_support.h"

using namespace prn_test;

namespace {

class PdtChunk : public StoreTest {};

/* The value of a chunk or size value as stored, by name. */
std::vector<BYTE> value(HANDLE printer, const std::u16string &name, bool *found = nullptr)
{
    return printerValue(printer, name.c_str(), found);
}

TEST_F(PdtChunk, BoundarySizesRoundTripInChunksOf768)
{
    struct Case {
        DWORD size;
        DWORD chunks;
        DWORD lastChunk;
    };
    const Case cases[] = {
        {1, 1, 1}, {767, 1, 767}, {768, 1, 768}, {769, 2, 1}, {1536, 2, 768}, {99 * 768, 99, 768},
    };
    Printer printer;
    ASSERT_TRUE(printer.ok);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<BYTE> blob = pattern(c.size, BYTE(c.size));
        ASSERT_TRUE(PDT_WriteChunked(printer, blob.data(), c.size, u"Blob", u"BlobSize"));

        std::vector<BYTE> size = value(printer, u"BlobSize");
        ASSERT_EQ(size.size(), 4u);
        EXPECT_EQ(plat::load_u32(size.data(), 0), c.size);
        for (DWORD n = 1; n <= c.chunks; ++n) {
            std::vector<BYTE> chunk = value(printer, u"Blob" + plat::utf8_to_utf16(std::to_string(n)));
            DWORD want = n < c.chunks ? 768 : c.lastChunk;
            ASSERT_EQ(chunk.size(), want) << "chunk " << n;
            EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), blob.begin() + (n - 1) * 768)) << "chunk " << n;
        }

        Global<> out;
        DWORD outSize = 0;
        ASSERT_TRUE(PDT_ReadChunked(printer, out.out(), &outSize, u"Blob", u"BlobSize"));
        ASSERT_EQ(outSize, c.size);
        EXPECT_EQ(GlobalSize(out.p), SIZE_T(c.size));
        EXPECT_TRUE(std::equal(blob.begin(), blob.end(), out.p));
    }
    /* No chunk 100, and none past what the largest blob needed. */
    bool found = true;
    value(printer, u"Blob100", &found);
    EXPECT_FALSE(found);
}

TEST_F(PdtChunk, WriterRefusesEmptyAndOversizedBlobsBeforeWriting)
{
    Printer printer;
    std::vector<BYTE> big = pattern(99 * 768 + 1);
    EXPECT_FALSE(PDT_WriteChunked(printer, big.data(), DWORD(big.size()), u"Blob", u"BlobSize"));
    EXPECT_FALSE(PDT_WriteChunked(printer, big.data(), 0, u"Blob", u"BlobSize"));
    EXPECT_FALSE(PDT_WriteChunked(printer, nullptr, 10, u"Blob", u"BlobSize"));
    EXPECT_FALSE(PDT_WriteChunked(nullptr, big.data(), 10, u"Blob", u"BlobSize"));
    std::u16string longName(PDT_MAX_BASE_NAME + 1, u'B');
    EXPECT_FALSE(PDT_WriteChunked(printer, big.data(), 10, longName.c_str(), u"BlobSize"));
    for (const char16_t *name : {u"BlobSize", u"Blob1", u"Blob99"}) {
        bool found = true;
        value(printer, name, &found);
        EXPECT_FALSE(found) << plat::utf16_to_utf8(name);
    }
}

TEST_F(PdtChunk, DamagedBlobsAreRefusedWhole)
{
    Printer printer;
    std::vector<BYTE> blob = pattern(2000);
    struct Damage {
        const char *what;
        const char16_t *name; /* value changed */
        std::vector<BYTE> bytes; /* empty: deleted */
    };
    const Damage damages[] = {
        {"missing middle chunk", u"Blob2", {}},
        {"missing last chunk", u"Blob3", {}},
        {"missing size value", u"BlobSize", {}},
        {"short middle chunk", u"Blob2", std::vector<BYTE>(767, 1)},
        {"long middle chunk", u"Blob2", std::vector<BYTE>(769, 1)},
        {"short last chunk", u"Blob3", std::vector<BYTE>(463, 1)},
        {"long last chunk", u"Blob3", std::vector<BYTE>(465, 1)},
        {"size value of 2 bytes", u"BlobSize", {0xD0, 0x07}},
        {"size value of 8 bytes", u"BlobSize", {0xD0, 0x07, 0, 0, 0, 0, 0, 0}},
        {"size of 100 chunks", u"BlobSize", {0x01, 0x2C, 0x01, 0x00}}, /* 76,801 */
        {"size of 0", u"BlobSize", {0, 0, 0, 0}},
        {"size of 4 chunks", u"BlobSize", {0x01, 0x09, 0, 0}}, /* 2,305: chunk 4 is missing */
    };
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.what);
        ASSERT_TRUE(PDT_WriteChunked(printer, blob.data(), 2000, u"Blob", u"BlobSize"));
        if (d.bytes.empty())
            ASSERT_EQ(DeletePrinterDataW(printer, d.name), DWORD(ERROR_SUCCESS));
        else
            ASSERT_EQ(SetPrinterDataW(printer, d.name, REG_BINARY, d.bytes.data(), DWORD(d.bytes.size())),
                      DWORD(ERROR_SUCCESS));
        BYTE *out = reinterpret_cast<BYTE *>(1);
        DWORD outSize = 123;
        EXPECT_FALSE(PDT_ReadChunked(printer, &out, &outSize, u"Blob", u"BlobSize"));
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(outSize, 0u);
    }
}

TEST_F(PdtChunk, StaleChunksOfALongerBlobStayAndAreIgnored)
{
    Printer printer;
    std::vector<BYTE> longer = pattern(3 * 768, 9);
    std::vector<BYTE> shorter = pattern(10, 200);
    ASSERT_TRUE(PDT_WriteChunked(printer, longer.data(), DWORD(longer.size()), u"Blob", u"BlobSize"));
    ASSERT_TRUE(PDT_WriteChunked(printer, shorter.data(), DWORD(shorter.size()), u"Blob", u"BlobSize"));
    bool found = false;
    EXPECT_EQ(value(printer, u"Blob3", &found).size(), 768u);
    EXPECT_TRUE(found) << "the writer leaves chunks above the count";
    Global<> out;
    DWORD outSize = 0;
    ASSERT_TRUE(PDT_ReadChunked(printer, out.out(), &outSize, u"Blob", u"BlobSize"));
    ASSERT_EQ(outSize, 10u);
    EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), out.p));
}

TEST_F(PdtChunk, AWriteThatStopsPartWayLeavesABlobTheReaderRefuses)
{
    Printer printer;
    std::vector<BYTE> blob = pattern(2000);
    /* Size value, chunk 1, then chunk 2 fails. */
    plat::spool_fail_after(plat::SpoolCall::SetPrinterData, 3, ERROR_DISK_FULL);
    EXPECT_FALSE(PDT_WriteChunked(printer, blob.data(), 2000, u"Blob", u"BlobSize"));
    EXPECT_EQ(value(printer, u"BlobSize").size(), 4u);
    EXPECT_EQ(value(printer, u"Blob1").size(), 768u);
    Global<> out;
    DWORD outSize = 0;
    EXPECT_FALSE(PDT_ReadChunked(printer, out.out(), &outSize, u"Blob", u"BlobSize"));
    /* A failure of the size value writes nothing at all. */
    plat::spool_fail_after(plat::SpoolCall::SetPrinterData, 1, ERROR_DISK_FULL);
    EXPECT_FALSE(PDT_WriteChunked(printer, blob.data(), 2000, u"Other", u"OtherSize"));
    bool found = true;
    value(printer, u"OtherSize", &found);
    EXPECT_FALSE(found);
}

TEST_F(PdtChunk, NamedBlobTable)
{
    struct Row {
        int index;
        const char16_t *size;
        const char16_t *base;
    };
    const Row rows[] = {
        {0, u"FontSubTableSize", u"FontSubTable"},
        {1, u"SysTTFontListSize", u"SysTTFontList"},
        {2, u"PrinterDataSize", u"PrinterData"},
        {3, u"UserSettingInfoSize", u"UserSettingInfo"},
        {4, u"PaperMarginArraySize", u"PaperMarginArray"},
    };
    for (const Row &r : rows) {
        const PdtNamedBlob *blob = PDT_GetNamedBlob(r.index);
        ASSERT_NE(blob, nullptr);
        EXPECT_EQ(std::u16string(blob->sizeName), r.size);
        EXPECT_EQ(std::u16string(blob->baseName), r.base);
    }
    EXPECT_EQ(PDT_GetNamedBlob(-1), nullptr);
    EXPECT_EQ(PDT_GetNamedBlob(5), nullptr);
}

TEST_F(PdtChunk, NamedBlobsWriteReadAndRefuse)
{
    Printer printer;
    std::vector<BYTE> record = pattern(6148, 3);
    EXPECT_FALSE(PDT_WriteNamedBlob(printer, record.data(), 6148, -1));
    EXPECT_FALSE(PDT_WriteNamedBlob(printer, record.data(), 6148, 5));
    EXPECT_FALSE(PDT_WriteNamedBlob(nullptr, record.data(), 6148, 2));
    EXPECT_FALSE(PDT_WriteNamedBlob(printer, record.data(), 0, 2));
    ASSERT_TRUE(PDT_WriteNamedBlob(printer, record.data(), 6148, PDT_BLOB_PRINTERDATA));
    EXPECT_EQ(value(printer, u"PrinterData9").size(), 6148u - 8 * 768);

    /* Asking for the size. */
    DWORD size = 0;
    EXPECT_TRUE(PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, nullptr, &size));
    EXPECT_EQ(size, 6148u);
    size = 77;
    EXPECT_FALSE(PDT_ReadNamedBlob(printer, PDT_BLOB_USERSETTINGINFO, nullptr, &size));
    EXPECT_EQ(size, 0u);

    /* A buffer one byte short is refused and left alone; a larger one gets the bytes. */
    std::vector<BYTE> buffer(6147, 0xEE);
    size = 6147;
    EXPECT_FALSE(PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, buffer.data(), &size));
    EXPECT_EQ(buffer, std::vector<BYTE>(6147, 0xEE));
    buffer.assign(7000, 0xEE);
    size = 7000;
    ASSERT_TRUE(PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, buffer.data(), &size));
    EXPECT_EQ(size, 6148u);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), buffer.begin()));
    EXPECT_EQ(buffer[6148], 0xEE);

    /* A stored size of 0 is no blob. */
    BYTE zero[4] = {};
    ASSERT_EQ(SetPrinterDataW(printer, u"PaperMarginArraySize", REG_DWORD, zero, 4), DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(PDT_ReadNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY, nullptr, &size));
    size = 100;
    EXPECT_FALSE(PDT_ReadNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY, buffer.data(), &size));
}

TEST_F(PdtChunk, DeletingNamedBlobs)
{
    Printer printer;
    std::vector<BYTE> blob = pattern(1600);
    /* Absent from the start: done. */
    EXPECT_TRUE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY));
    EXPECT_FALSE(PDT_DeleteNamedBlob(printer, 5));

    ASSERT_TRUE(PDT_WriteNamedBlob(printer, blob.data(), 1600, PDT_BLOB_PAPERMARGINARRAY));
    ASSERT_TRUE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY));
    for (const char16_t *name : {u"PaperMarginArraySize", u"PaperMarginArray1", u"PaperMarginArray3"}) {
        bool found = true;
        value(printer, name, &found);
        EXPECT_FALSE(found) << plat::utf16_to_utf8(name);
    }

    /* A failed deletion keeps the size value, so the blob can be deleted later. */
    ASSERT_TRUE(PDT_WriteNamedBlob(printer, blob.data(), 1600, PDT_BLOB_PAPERMARGINARRAY));
    plat::spool_fail_after(plat::SpoolCall::DeletePrinterData, 2, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY));
    EXPECT_EQ(value(printer, u"PaperMarginArraySize").size(), 4u);
    EXPECT_TRUE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY)) << "chunk 1 already gone counts as deleted";

    /* A blob whose write stopped part-way can still be deleted whole. */
    plat::spool_fail_after(plat::SpoolCall::SetPrinterData, 3, ERROR_DISK_FULL);
    EXPECT_FALSE(PDT_WriteNamedBlob(printer, blob.data(), 1600, PDT_BLOB_PAPERMARGINARRAY));
    EXPECT_TRUE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY));

    /* A stored size of 0 or of more than 99 chunks is not deleted. */
    for (DWORD bad : {0u, 99u * 768 + 1}) {
        BYTE bytes[4];
        plat::store_u32(bytes, 0, bad);
        ASSERT_EQ(SetPrinterDataW(printer, u"PaperMarginArraySize", REG_DWORD, bytes, 4), DWORD(ERROR_SUCCESS));
        EXPECT_FALSE(PDT_DeleteNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY));
    }
}

TEST_F(PdtChunk, AnOrdinaryUserReadsButCannotWrite)
{
    std::vector<BYTE> blob = pattern(1000);
    {
        Printer admin;
        ASSERT_TRUE(PDT_WriteNamedBlob(admin, blob.data(), 1000, PDT_BLOB_PRINTERDATA));
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer refused(kPrinter, PRINTER_ALL_ACCESS);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, DWORD(ERROR_ACCESS_DENIED));
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    ASSERT_TRUE(user.ok);
    std::vector<BYTE> other = pattern(1000, 77);
    EXPECT_FALSE(PDT_WriteNamedBlob(user, other.data(), 1000, PDT_BLOB_PRINTERDATA));
    EXPECT_FALSE(PDT_DeleteNamedBlob(user, PDT_BLOB_PRINTERDATA));
    std::vector<BYTE> buffer(1000);
    DWORD size = 1000;
    ASSERT_TRUE(PDT_ReadNamedBlob(user, PDT_BLOB_PRINTERDATA, buffer.data(), &size));
    EXPECT_EQ(buffer, blob);
}

TEST_F(PdtChunk, ABlobWrittenByOneProcessIsReadByTheNext)
{
    std::vector<BYTE> blob = pattern(5000, 42);
    {
        Printer printer;
        ASSERT_TRUE(PDT_WriteNamedBlob(printer, blob.data(), 5000, PDT_BLOB_PRINTERDATA));
    }
    plat::machine_reset(root_); /* the next process on the same machine folder */
    Printer printer;
    ASSERT_TRUE(printer.ok);
    std::vector<BYTE> buffer(5000);
    DWORD size = 5000;
    ASSERT_TRUE(PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, buffer.data(), &size));
    EXPECT_EQ(buffer, blob);
}

TEST_F(PdtChunk, FaxSendListIsAChunkedBlobOfItsOwn)
{
    Printer printer;
    std::vector<BYTE> list = pattern(1442 + 742);
    ASSERT_TRUE(PDT_WriteChunked(printer, list.data(), DWORD(list.size()), u"FaxSendList", u"FaxSendListSize"));
    Global<> out;
    DWORD size = 0;
    ASSERT_TRUE(PDT_ReadFaxSendList(printer, out.out(), &size));
    ASSERT_EQ(size, list.size());
    EXPECT_TRUE(std::equal(list.begin(), list.end(), out.p));
}

} // namespace
