#include "tests/procedures/results_access.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qs::procedures::testing {

const Field* FindField(const Results& block, unsigned label, const Results** owner) {
    for (const Field& f : block.GetFields()) {
        if ((f.flags & kFieldTransparent) && f.kind == FieldKind::Block) {
            if (const Results* inner = f.block(block))
                if (const Field* found = FindField(*inner, label, owner)) return found;
            continue;
        }
        if (f.label == label) {
            *owner = &block;
            return &f;
        }
    }
    return nullptr;
}

double NumberField(const Results& block, unsigned label) {
    const Results* owner = nullptr;
    const Field* f = FindField(block, label, &owner);
    if (!f || !f->number) {
        ADD_FAILURE() << "no number field " << label;
        return NAN;
    }
    return f->number(*owner);
}

std::pair<double, double> PairField(const Results& block, unsigned label) {
    const Results* owner = nullptr;
    const Field* f = FindField(block, label, &owner);
    if (!f || !f->pair) {
        ADD_FAILURE() << "no pair field " << label;
        return {NAN, NAN};
    }
    return f->pair(*owner);
}

std::string TextField(const Results& block, unsigned label) {
    const Results* owner = nullptr;
    const Field* f = FindField(block, label, &owner);
    if (!f || !f->text) {
        ADD_FAILURE() << "no text field " << label;
        return {};
    }
    return f->text(*owner);
}

std::vector<const Results*> RowsField(const Results& block, unsigned label) {
    const Results* owner = nullptr;
    const Field* f = FindField(block, label, &owner);
    if (!f || !f->blocks) {
        ADD_FAILURE() << "no table " << label;
        return {};
    }
    return f->blocks(*owner);
}

const Results* BlockField(const Results& block, unsigned label) {
    const Results* owner = nullptr;
    const Field* f = FindField(block, label, &owner);
    return f && f->block ? f->block(*owner) : nullptr;
}

}  // namespace qs::procedures::testing
