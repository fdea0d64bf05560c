// What the run tests of the statistical tests share: a test made from its catalogue object, bound
// to a dataset of a workbook in the host's sheet engine, given its dialog answers by label and
// computed; its result blocks read through their field tables by label id.
#pragma once

#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "addin/framework/parameters.h"
#include "addin/framework/test.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {

// The field labelled `label` of `block`, looking through transparent levels; its block in `owner`.
inline const qs::Field* FindField(const qs::Results& block, unsigned label, const qs::Results** owner) {
    for (const qs::Field& f : block.GetFields()) {
        if ((f.flags & qs::kFieldTransparent) && f.kind == qs::FieldKind::Block) {
            const qs::Results* inner = f.block(block);
            if (inner)
                if (const qs::Field* found = FindField(*inner, label, owner)) return found;
            continue;
        }
        if (f.label == label) {
            *owner = &block;
            return &f;
        }
    }
    return nullptr;
}

inline double Number(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    if (!f || !f->number) {
        ADD_FAILURE() << "no number field " << label;
        return std::numeric_limits<double>::quiet_NaN();
    }
    return f->number(*owner);
}

inline std::pair<double, double> Pair(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    if (!f || !f->pair) {
        ADD_FAILURE() << "no pair field " << label;
        return {};
    }
    return f->pair(*owner);
}

inline std::vector<const qs::Results*> Rows(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    if (!f || !f->blocks) {
        ADD_FAILURE() << "no table " << label;
        return {};
    }
    return f->blocks(*owner);
}

// The nested block labelled `label` (through transparent levels); null when there is none.
inline const qs::Results* Nested(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    return f && f->block ? f->block(*owner) : nullptr;
}

inline std::string Text(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    return f && f->text ? f->text(*owner) : std::string("(no text field)");
}

// The labels of a block's fields as a report shows them, transparent levels flattened.
inline std::vector<unsigned> FieldLabels(const qs::Results& block) {
    std::vector<unsigned> out;
    for (const qs::Field& f : block.GetFields()) {
        if ((f.flags & qs::kFieldTransparent) && f.kind == qs::FieldKind::Block) {
            for (unsigned l : FieldLabels(*f.block(block))) out.push_back(l);
        } else {
            out.push_back(f.label);
        }
    }
    return out;
}

// A test run on a workbook: Start, the answers, then Compute (or CheckMessage).
class TestRun : public HostTest {
protected:
    void Start(const qs::Test::Info& info, const std::string& workbook, const std::string& cell) {
        Open(workbook);
        source = Find(cell);
        test = info.Create();
        test->Bind(source.get());
        ASSERT_TRUE(test->parameters);
    }
    // The same for the catalogue's test with this id (every test unit is linked into the tests).
    void Start(unsigned id, const std::string& workbook, const std::string& cell) {
        const qs::Test::Info* info = qs::FindTest(id);
        ASSERT_NE(info, nullptr) << "no test " << id << " in the catalogue";
        Start(*info, workbook, cell);
    }
    qs::ParameterItem& Item(const std::string& label) {
        qs::ParameterItem* item = test->parameters->FindByLabel(label);
        if (!item) throw std::runtime_error("no parameter " + label);
        return *item;
    }
    void SetVariables(const std::string& label, const std::vector<std::string>& names) {
        const auto list = qs::ListVariables(*source);
        qs::ParameterItem& item = Item(label);
        item.value.type = qs::kValueVariables;
        item.value.variables.clear();
        for (const auto& name : names) {
            const qs::VariableChoice* c = qs::FindVariableChoice(list, name);
            ASSERT_TRUE(c) << "no variable " << name << " among " << [&] {
                std::string all;
                for (const auto& e : list) all += "'" + e.name + "' ";
                return all;
            }();
            item.value.variables.push_back(*c);
        }
    }
    void SetNumber(const std::string& label, double v) {
        Item(label).value.type = qs::kValueNumber;
        Item(label).value.number = v;
    }
    void SetTailAndLevel(int tail, double level) {
        Item("Alternative hypothesis").value.type = qs::kValueWhole;
        Item("Alternative hypothesis").value.number = tail;
        SetNumber("Confidence interval", level);
    }
    void SetWhole(const std::string& label, int v) {  // a choice's index, the hypothesis' tail
        Item(label).value.type = qs::kValueWhole;
        Item(label).value.number = v;
    }
    void SetBoolean(const std::string& label, bool v) {
        Item(label).value.type = qs::kValueBoolean;
        Item(label).value.number = v ? 1 : 0;
    }
    void SetUnequal(bool unequal) {
        Item("Unequal variances").value.type = qs::kValueBoolean;
        Item("Unequal variances").value.number = unequal ? 1 : 0;
    }
    // The dialog's last update pass and the checking pass, then the compute driver.
    void Compute() {
        test->parameters->Run(qs::Parameters::kUpdate);
        test->parameters->Run(qs::Parameters::kCheck);
        qs::ComputeTest(*test);
    }
    // The message of the checking pass (empty when the answers pass).
    std::string CheckMessage() {
        test->parameters->Run(qs::Parameters::kUpdate);
        return MessageOf([&] { test->parameters->Run(qs::Parameters::kCheck); });
    }
    std::vector<std::string> ItemLabels() const {
        std::vector<std::string> out;
        for (const auto& item : test->parameters->items) out.push_back(item.label);
        return out;
    }

    qs::CRef<qs::DatasetSourceExcel> source;
    qs::CRef<qs::Test> test;
};

}  // namespace dstest
