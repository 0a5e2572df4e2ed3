/*
 * Helpers of the constraint engine tests: the standard colour model with
 * test rules hung on the options of setting 453 (options 0, 1, 2) or on its
 * feature, a few extra trays, and the settings written number by number.
 */
#ifndef TARVEL_TEST_CNF_SUPPORT_H
#define TARVEL_TEST_CNF_SUPPORT_H

#include "test_fid_support.h"

#include <tarvel/constraints/cnf_engine.h>
#include <tarvel/model_data/model_format.h>

#include <standard_models.h>

#include <plat/fault.h>

#include <algorithm>
#include <map>
#include <utility>

namespace cnf_test {

using fid_test::put;
using fid_test::read;

/* The setting that owns the test rules and its options. */
constexpr WORD kOwner = 453;

inline mw::Condition entry(WORD id, BYTE op, mw::Value v, BYTE connector)
{
    return mw::Condition{mw::Setting{0, op, id, std::move(v)}, connector};
}

inline mw::Setting cond(WORD id, BYTE op, mw::Value v) { return mw::Setting{0, op, id, std::move(v)}; }

/* The main condition "453 is value". */
inline mw::Setting on453(WORD value = 2) { return cond(kOwner, 1, mw::vUShort(value)); }

inline mw::Setting action(WORD id, mw::Value v) { return mw::Setting{0, 0, id, std::move(v)}; }

inline mw::Rule rule(mw::Setting condition, WORD flags, std::vector<mw::Condition> involved = {},
                     std::vector<mw::Setting> actions = {})
{
    return mw::Rule{0, std::move(condition), flags, mw::noText(), std::move(involved), std::move(actions)};
}

/* Where the rules of a test model hang. */
struct Hang {
    std::vector<WORD> forward; /* indices among the test's forward rules, 0-based */
    std::vector<WORD> reverse;
};

/* A test model: rules appended to the standard model's and hung on 453's option 2 or its feature. */
struct RuleModel {
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    std::vector<WORD> forwardIds, reverseIds;
    Hang onOption2, onOption1, onFeature;
    std::vector<std::pair<WORD, Hang>> otherFeatures; /* feature 345 or 388 with its own rules */

    WORD add(WORD kind, mw::Rule r)
    {
        r.id = m.nextRowId(kind);
        m.add(mw::encode(kind, r, m.formatVersion));
        (kind == DDD_KIND_RULE ? forwardIds : reverseIds).push_back(r.id);
        return r.id;
    }
    WORD forward(mw::Rule r) { return add(DDD_KIND_RULE, std::move(r)); }
    WORD reverse(mw::Rule r) { return add(DDD_KIND_REVERSE_RULE, std::move(r)); }
    /* A value array of unsigned 16-bit elements; its record number. */
    WORD array(const std::vector<WORD> &values)
    {
        mw::Bytes b;
        for (WORD x : values)
            mw::putU16(b, x);
        const WORD id = m.nextRowId(DDD_KIND_VALUE_ARRAY);
        m.add(mw::encode(mw::ValueArray{id, 0, DDD_VT_USHORT, 2, WORD(values.size()), b}, m.formatVersion));
        return id;
    }

    std::vector<WORD> ids(const std::vector<WORD> &which, const std::vector<WORD> &from) const
    {
        std::vector<WORD> out;
        for (WORD i : which)
            out.push_back(from.at(i));
        return out;
    }

    /* Replaces feature `id` (its values) with one whose rules are hung as given. */
    void feature(WORD id, const std::vector<WORD> &values, const Hang &feature, const std::map<WORD, Hang> &options)
    {
        std::erase_if(m.records, [&](const mw::Record &r) { return r.kind == DDD_KIND_DOCUMENT_FEATURE && r.id == id; });
        mw::Feature f;
        f.id = id;
        f.name = mw::stored("Setting " + std::to_string(id));
        f.uiKind = 1;
        f.defaultOption = 1;
        f.forwardRules = ids(feature.forward, forwardIds);
        f.reverseRules = ids(feature.reverse, reverseIds);
        std::vector<mw::Option> opts;
        for (WORD v : values) {
            mw::Option o;
            o.name = mw::stored("Option " + std::to_string(v));
            o.setting = mw::vUShort(v);
            auto it = options.find(v);
            if (it != options.end()) {
                o.forwardRules = ids(it->second.forward, forwardIds);
                o.reverseRules = ids(it->second.reverse, reverseIds);
            }
            opts.push_back(o);
        }
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, opts);
    }

    void finish()
    {
        feature(kOwner, {0, 1, 2}, onFeature, {{1, onOption1}, {2, onOption2}});
        for (auto &[id, hang] : otherFeatures)
            feature(id, {0, 1, 2, 400}, hang, {});
    }
};

/* Extra trays: input tray 264 and output tray 3, both listing the custom size with a range. */
inline void addRangeTrays(mw::Model &m)
{
    const DWORD v = m.formatVersion;
    m.add(mw::encode(mw::Dimensions{950, 1000, 1500, 2000, 3000}, v));
    mw::Tray in;
    in.id = 264;
    in.name = mw::stored("Tray 264");
    in.dimensionId = 950;
    in.mediaSource = 9;
    in.paperCodes = {9, 262};
    in.paperCodeIds = {0, 0};
    m.add(mw::encode(DDD_KIND_TRAY, in, v));
    mw::Tray out;
    out.id = 3;
    out.name = mw::stored("Output 3");
    out.dimensionId = 950;
    out.mediaSource = 3;
    out.paperCodes = {262};
    out.paperCodeIds = {0};
    m.add(mw::encode(DDD_KIND_TRAY2, out, v));
}

/* An evaluation's result as the tests look at it. */
struct Result {
    WORD code = 0xFFFF;
    SHORT outcome = -1;
    WORD bits = 0;
    std::vector<WORD> forward, reverse, involved, changed;
};

class CnfTest : public fid_test::SchemaTest {
protected:
    void TearDown() override
    {
        CNF_FreeChangeList(list_);
        list_ = nullptr;
        rec_ = fid_test::Records{};
        fid_test::SchemaTest::TearDown();
    }

    void installModel(RuleModel &rm)
    {
        rm.finish();
        addRangeTrays(rm.m);
        installWritten(rm.m, "");
        list_ = CNF_NewChangeList();
        ASSERT_NE(list_, nullptr);
    }

    void set(WORD id, DWORD value) { ASSERT_EQ(put(id, rec_.dm(), rec_.pd(), value), 0) << "setting " << id; }
    void setAll(const std::vector<std::pair<WORD, DWORD>> &values)
    {
        for (auto &[id, v] : values)
            set(id, v);
    }
    LONG get(WORD id) { return read(id, rec_.dm(), rec_.pd()).number(); }

    /* Evaluates `id` with an unsigned 16-bit value (or none), keeping the list's previous result. */
    Result eval(WORD mode, WORD id, const WORD *value, WORD flags = 0, const WORD *restrictIds = nullptr,
                bool askChanged = true)
    {
        Result r;
        WORD *changed = nullptr;
        r.code = CNF_Evaluate(mode, printer(), ctx(), rec_.dm(), rec_.pd(), restrictIds, id, SVT_UINT16, value, list_,
                              askChanged ? &changed : nullptr, flags);
        r.outcome = list_->outcome;
        r.bits = list_->relationBits;
        r.forward.assign(list_->forward, list_->forward + list_->forwardCount);
        r.reverse.assign(list_->reverse, list_->reverse + list_->reverseCount);
        r.involved.assign(list_->involved, list_->involved + list_->involvedCount);
        for (WORD *p = changed; p && *p; ++p)
            r.changed.push_back(*p);
        if (changed)
            GlobalFree(changed);
        return r;
    }
    Result evalValue(WORD mode, WORD id, WORD value, WORD flags = 0)
    {
        CNF_ResetChangeList(list_);
        return eval(mode, id, &value, flags);
    }

    SettingsRef ref() { return SettingsRef{ctx(), rec_.dm(), rec_.pd()}; }

    fid_test::Records rec_;
    ChangeList *list_ = nullptr;
};

inline std::vector<WORD> sorted(std::vector<WORD> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace cnf_test

#endif /* TARVEL_TEST_CNF_SUPPORT_H */
