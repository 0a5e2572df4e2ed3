// Copy-set data of the tests: a fax send list worked out by hand (the tag,
// the entry count, the two header texts, then one destination per copy set
// with its address), and a class-2 model whose jobs carry copy sets.
#ifndef RENDER_TESTS_COPY_SET_TEST_SUPPORT_H
#define RENDER_TESTS_COPY_SET_TEST_SUPPORT_H

#include <tarvel/fax_layout.h>
#include <tarvel/model_data/model_format.h>

#include <modelwriter/model_writer.h>
#include <standard_models.h>

#include <cstring>
#include <string>
#include <vector>

namespace copy_set_test {

/* Copy set i's address: "0312345" and the digit i. */
inline std::u16string address(unsigned i) { return u"0312345" + std::u16string(1, char16_t(u'0' + i)); }

/* A send list of `count` destinations: tag "DFAX001", the count, two header texts, entry i with address(i). */
inline std::vector<BYTE> sendList(WORD count)
{
    std::vector<BYTE> b(FAX_HEADER_SIZE + FAX_ENTRY_SIZE * count, 0);
    const char16_t tag[8] = u"DFAX001";
    std::memcpy(b.data(), tag, 16);
    b[16] = BYTE(count);
    b[17] = BYTE(count >> 8);
    const char16_t text1[] = u"Quarterly report";
    const char16_t text2[] = u"Please find the figures attached.";
    std::memcpy(b.data() + FAX_OFF_HEADER_TEXT1, text1, sizeof text1);
    std::memcpy(b.data() + FAX_OFF_HEADER_TEXT2, text2, sizeof text2);
    for (WORD i = 0; i < count; i++) {
        BYTE *e = b.data() + FAX_HEADER_SIZE + FAX_ENTRY_SIZE * i;
        const std::u16string a = address(i);
        std::memcpy(e + FAX_E_ADDRESS, a.data(), a.size() * 2);
        e[FAX_E_PREFIX_SELECT] = BYTE(i + 1);
    }
    return b;
}

/*
 * The printer-and-fax model turned into a class-2 model (every job a
 * copy-set job), its cover set in Helvetica (device font 0x10) with Mincho
 * (device font 0x80) as its second font when `coverFonts`, and "cover.dat"
 * as the data file of the driver directory.
 */
inline mw::Model copySetModel(bool coverFonts = true)
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600, true);
    m.fileName = "COPYSET.DDD";
    m.companionName = "COPYSET.DDC";
    for (mw::FileHead *h : {&m.main, &m.companion}) {
        h->entries[23] = mw::eU8(1);
        if (coverFonts)
            h->entries[27] = mw::eU16s({0x10, 0x80});
        h->entries[28] = mw::eTexts({mw::stored("cover.dat")});
    }
    return m;
}

} // namespace copy_set_test

#endif /* RENDER_TESTS_COPY_SET_TEST_SUPPORT_H */
