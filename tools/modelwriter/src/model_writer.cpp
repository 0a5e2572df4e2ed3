/*
 * Model data writer, file side: header entries, the model's record list,
 * the checks of the project's readings of the format's open points, and
 * the layout of the main and companion files (header, entries, directory,
 * record tables, records).
 */
#include <modelwriter/model_writer.h>

#include <cstdio>
#include <map>
#include <set>

namespace mw {

Entry eU8(BYTE v) { return Entry{{Bytes{v}}}; }

Entry eU16(WORD v)
{
    Bytes b;
    putU16(b, v);
    return Entry{{b}};
}

Entry eU32(DWORD v)
{
    Bytes b;
    putU32(b, v);
    return Entry{{b}};
}

Entry eText(const Text &t) { return Entry{{t.body}}; }

Entry eU8s(const std::vector<BYTE> &v)
{
    Entry e;
    for (BYTE x : v)
        e.items.push_back(Bytes{x});
    return e;
}

Entry eU16s(const std::vector<WORD> &v)
{
    Entry e;
    for (WORD x : v)
        e.items.push_back(eU16(x).items[0]);
    return e;
}

Entry eU32s(const std::vector<DWORD> &v)
{
    Entry e;
    for (DWORD x : v)
        e.items.push_back(eU32(x).items[0]);
    return e;
}

Entry eTexts(const std::vector<Text> &v)
{
    Entry e;
    for (const Text &t : v)
        e.items.push_back(t.body);
    return e;
}

Record &Model::add(Record r, bool inCompanion)
{
    r.inCompanion = inCompanion;
    records.push_back(std::move(r));
    return records.back();
}

WORD Model::count(WORD kind) const
{
    WORD n = 0;
    for (const Record &r : records)
        if (r.kind == kind)
            ++n;
    return n;
}

WORD Model::nextRowId(WORD kind) const
{
    return static_cast<WORD>(count(kind) + 1);
}

void Model::addFeature(WORD kind, Feature feature, std::vector<Option> options)
{
    WORD optionKind = kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    feature.options.clear();
    for (Option &o : options) {
        o.id = nextRowId(optionKind);
        feature.options.push_back(o.id);
        add(encode(optionKind, o, formatVersion));
    }
    add(encode(kind, feature, formatVersion));
}

namespace {

struct Row {
    BYTE selector;
    WORD id;
    DWORD offset;
};

/* Rows of one kind's table, in record order. */
std::vector<const Record *> of_kind(const Model &m, WORD kind)
{
    std::vector<const Record *> v;
    for (const Record &r : m.records)
        if (r.kind == kind)
            v.push_back(&r);
    return v;
}

std::string entry_problem(const FileHead &head, const char *which)
{
    char buf[128];
    for (WORD id = 1; id < DDD_ENTRY_COUNT; ++id) {
        const DddHeaderEntryRow &row = kDddHeaderEntries[id];
        const std::optional<Entry> &e = head.entries[id];
        if (!e) {
            std::snprintf(buf, sizeof buf, "%s file: header entry %u is missing", which, id);
            return buf;
        }
        if (row.count != 0 && e->items.size() != row.count) {
            std::snprintf(buf, sizeof buf, "%s file: header entry %u needs %u item(s)", which, id, row.count);
            return buf;
        }
        for (const Bytes &item : e->items)
            if (row.itemSize != 0 && item.size() != row.itemSize) {
                std::snprintf(buf, sizeof buf, "%s file: header entry %u items are %u bytes", which, id,
                              row.itemSize);
                return buf;
            }
    }
    const std::optional<Entry> &key = head.entries[DDD_ENTRY_REGISTRY_KEY1];
    if (key->items.empty() || key->items[0].size() < 2) {
        std::snprintf(buf, sizeof buf, "%s file: header entry 33 (per-user key text) is empty", which);
        return buf;
    }
    return {};
}

DWORD entry_u32(const FileHead &head, WORD id)
{
    const Bytes &b = head.entries[id]->items[0];
    DWORD v = 0;
    for (size_t i = 0; i < b.size() && i < 4; ++i)
        v |= static_cast<DWORD>(b[i]) << (8 * i);
    return v;
}

} // namespace

std::string check(const Model &m)
{
    char buf[160];
    bool hasCompanion = !m.companionName.empty();
    if (std::string p = entry_problem(m.main, "main"); !p.empty())
        return p;
    if (hasCompanion)
        if (std::string p = entry_problem(m.companion, "companion"); !p.empty())
            return p;
    if (entry_u32(m.main, DDD_ENTRY_JOB_HEADER) == 0)
        return "header entry 2 is 0";
    if (entry_u32(m.main, DDD_ENTRY_PAPER_CAPACITY) < m.count(DDD_KIND_PAPER))
        return "header entry 41 is below the number of papers";

    std::map<WORD, std::set<WORD>> ids;
    for (const Record &r : m.records) {
        if (!ids[r.kind].insert(r.id).second) {
            std::snprintf(buf, sizeof buf, "kind %u: identifier %u used twice", r.kind, r.id);
            return buf;
        }
        if (r.inCompanion && !hasCompanion)
            return "a record lives in the companion file but the model names none";
        if (r.kind == DDD_KIND_FLAG_RECORD && m.formatVersion < DDD_GATE_512)
            return "kind 19 records need data format 512 or later";
    }
    for (WORD kind : {DDD_KIND_RULE, DDD_KIND_REVERSE_RULE, DDD_KIND_DEVICE_OPTION, DDD_KIND_DOCUMENT_OPTION}) {
        WORD row = 0;
        for (const Record *r : of_kind(m, kind))
            if (r->id != ++row) {
                std::snprintf(buf, sizeof buf, "kind %u: identifier %u is record number %u", kind, r->id, row);
                return buf;
            }
    }
    for (const Record &r : m.records) {
        for (auto [kind, id] : r.idRefs)
            if (!ids[kind].count(id)) {
                std::snprintf(buf, sizeof buf, "kind %u record %u refers to kind %u identifier %u, which is missing",
                              r.kind, r.id, kind, id);
                return buf;
            }
        for (auto [kind, row] : r.rowRefs)
            if (row == 0 || row > m.count(kind)) {
                std::snprintf(buf, sizeof buf, "kind %u record %u refers to kind %u record number %u, which is missing",
                              r.kind, r.id, kind, row);
                return buf;
            }
        std::vector<const Record *> arrays = of_kind(m, DDD_KIND_VALUE_ARRAY);
        for (WORD row : r.arrayRows)
            if (row == 0 || row > arrays.size() || arrays[row - 1]->inCompanion != r.inCompanion) {
                std::snprintf(buf, sizeof buf, "kind %u record %u: value array %u is not in the same file", r.kind,
                              r.id, row);
                return buf;
            }
    }
    return {};
}

namespace {

void put_ansi(Bytes &b, size_t at, const std::string &s, size_t size)
{
    for (size_t i = 0; i < s.size() && i < size; ++i)
        b[at + i] = static_cast<BYTE>(s[i]);
}

Bytes header(const FileHead &head, const std::string &companionName, DWORD formatVersion)
{
    Bytes b(DDD_HDR_SIZE, 0);
    put_ansi(b, DDD_HDR_TITLE, head.title, DDD_HDR_TITLE_SIZE);
    put_ansi(b, DDD_HDR_VERSION, head.versionText, DDD_HDR_VERSION_SIZE);
    b[DDD_HDR_FORMAT] = static_cast<BYTE>(formatVersion >> 24);
    b[DDD_HDR_FORMAT + 1] = static_cast<BYTE>(formatVersion >> 16);
    b[DDD_HDR_FORMAT + 2] = static_cast<BYTE>(formatVersion >> 8);
    b[DDD_HDR_FORMAT + 3] = static_cast<BYTE>(formatVersion);
    put_ansi(b, DDD_HDR_MODEL, head.modelName, DDD_HDR_MODEL_SIZE);
    put_ansi(b, DDD_HDR_COMPANION, companionName, DDD_HDR_COMPANION_SIZE);
    return b;
}

/* Entry 0 (the length L) and entries 1-41, laid out by the shared entry table. */
Bytes entries(const FileHead &head)
{
    Bytes body;
    for (WORD id = 1; id < DDD_ENTRY_COUNT; ++id) {
        const DddHeaderEntryRow &row = kDddHeaderEntries[id];
        static const Entry empty;
        const Entry &e = head.entries[id] ? *head.entries[id] : empty;
        if (row.count == 0)
            putU16(body, static_cast<WORD>(e.items.size()));
        for (const Bytes &item : e.items) {
            if (row.itemSize == 0)
                putU16(body, static_cast<WORD>(item.size()));
            body.insert(body.end(), item.begin(), item.end());
        }
    }
    Bytes b;
    putU32(b, static_cast<DWORD>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

} // namespace

bool build(const Model &m, Bytes &mainFile, Bytes &companionFile, std::string &error, bool checked)
{
    mainFile.clear();
    companionFile.clear();
    if (checked) {
        error = check(m);
        if (!error.empty())
            return false;
    }
    bool hasCompanion = !m.companionName.empty();
    Bytes mainHead = header(m.main, m.companionName, m.formatVersion);
    Bytes mainEntries = entries(m.main);
    Bytes compHead = header(m.companion, std::string(), m.formatVersion);
    Bytes compEntries = entries(m.companion);

    /* Both files carry the same record tables; only where they start differs. */
    DWORD dirSize = DDD_DIR_HEAD_SIZE + DDD_DIR_ROW_SIZE * static_cast<DWORD>(kDddDirectoryKinds.size());
    DWORD tablesSize = 0;
    for (WORD kind : kDddDirectoryKinds)
        tablesSize += DDD_TABLE_HEAD_SIZE + DDD_TABLE_ROW_SIZE * m.count(kind);
    DWORD mainDir = static_cast<DWORD>(mainHead.size() + mainEntries.size());
    DWORD compDir = static_cast<DWORD>(compHead.size() + compEntries.size());
    DWORD mainNext = mainDir + dirSize + tablesSize;
    DWORD compNext = compDir + dirSize + tablesSize;

    std::map<const Record *, DWORD> offsets;
    for (WORD kind : kDddDirectoryKinds)
        for (const Record *r : of_kind(m, kind)) {
            DWORD &next = r->inCompanion ? compNext : mainNext;
            offsets[r] = next;
            next += static_cast<DWORD>(DDD_RECORD_HEAD_SIZE + r->body.size());
        }

    auto lay = [&](Bytes &out, const Bytes &head, const Bytes &ents, DWORD dirAt, bool companion) {
        out = head;
        out.insert(out.end(), ents.begin(), ents.end());
        putU32(out, 0);
        putU16(out, 0);
        DWORD tableAt = dirAt + dirSize;
        for (WORD kind : kDddDirectoryKinds) {
            putU8(out, 0);
            putU16(out, 0);
            putU32(out, tableAt);
            tableAt += DDD_TABLE_HEAD_SIZE + DDD_TABLE_ROW_SIZE * m.count(kind);
        }
        for (WORD kind : kDddDirectoryKinds) {
            putU32(out, 0);
            putU16(out, m.count(kind));
            for (const Record *r : of_kind(m, kind)) {
                putU8(out, r->inCompanion ? DDD_SEL_COMPANION : DDD_SEL_MAIN);
                putU16(out, r->id);
                putU32(out, offsets[r]);
            }
        }
        for (WORD kind : kDddDirectoryKinds)
            for (const Record *r : of_kind(m, kind)) {
                if (r->inCompanion != companion)
                    continue;
                putU32(out, 0);
                putU16(out, r->id);
                out.insert(out.end(), r->body.begin(), r->body.end());
            }
    };
    lay(mainFile, mainHead, mainEntries, mainDir, false);
    if (hasCompanion)
        lay(companionFile, compHead, compEntries, compDir, true);
    return true;
}

namespace {

bool write_file(const std::string &path, const Bytes &b, std::string &error)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = b.empty() || std::fwrite(b.data(), 1, b.size(), f) == b.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

} // namespace

bool writeFiles(const Model &m, const std::string &dir, std::string &error)
{
    Bytes mainFile, companionFile;
    if (!build(m, mainFile, companionFile, error))
        return false;
    if (!write_file(dir + "/" + m.fileName, mainFile, error))
        return false;
    if (!m.companionName.empty() && !write_file(dir + "/" + m.companionName, companionFile, error))
        return false;
    return true;
}

} // namespace mw
