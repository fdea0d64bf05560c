// The compiled report templates: each is an OOXML template carrying its test's record and slots
// that name real cells; "ttesti" has exactly the slots its source gives, with the names the
// template compiler makes of their label paths.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "addin/framework/report.h"
#include "addin/framework/test.h"
#include "addin/host/test_catalogue.h"
#include "sheets/io/workbook_io.h"

namespace rptest {
namespace {

std::string TemplatePath(const std::string& stem) { return std::string(TEMPLATE_FOLDER) + "/" + stem + ".xlt"; }

TEST(Templates, TtestiSlotPathsBecomeTheirSlotNames) {
    auto book = sheets::ReadWorkbook(TemplatePath("ttesti"));
    EXPECT_EQ(book->format(), sheets::FileFormat::Xltx);
    ASSERT_EQ(book->sheet_count(), 1u);
    const sheets::Sheet& s = book->sheet(0);
    EXPECT_EQ(s.name(), "t-test");
    const std::map<std::string, std::string> expected = {
        {"__sm_RR__7d0_7d1", "B3"},   {"__sm_RR__7d0_7d5", "B4"},   {"__sm_RR__7d0_7d6", "B5"},
        {"__sm_RR__7d0_7d3", "B6"},   {"__sm_RR__7d0_7d2", "G6"},   {"__sm_RR__7d0_7d4", "H2"},
        {"__sm_RR_0_7e1", "B9"},      {"__sm_SR_0_7e0_880", "B11"}, {"__sm_SR_0_7e0_7e1", "C11"},
        {"__sm_SR_0_7e0_7e5", "D11"}, {"__sm_SR_0_7e0_7ed", "E11"}, {"__sm_SR_0_7e0_7ee", "F11"},
        {"__sm_RR_0_802", "B15"},     {"__sm_RR_0_810", "B16"},     {"__sm_RR_0_843", "B18"},
        {"__sm_RR_0_7f6", "B19"},     {"__sm_RR_0_841", "B20"},
    };
    for (const auto& [name, cell] : expected) {
        const sheets::DefinedName* n = s.names().Find(name);
        ASSERT_NE(n, nullptr) << name;
        ASSERT_EQ(n->kind, sheets::DefinedName::Kind::References) << name;
        EXPECT_EQ(sheets::CellName(n->references.at(0).area.range.first), cell) << name;
    }
    const sheets::DefinedName* record = s.names().Find("__sm_TV_0");
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->kind, sheets::DefinedName::Kind::Array);
    EXPECT_EQ(record->array.values.at(0).number, 1);
    EXPECT_EQ(record->array.values.at(1).number, 1026);
}

// Every template: a template by content, one sheet, its catalogue test's record, well-formed slot
// names on cells of its own sheet, and the header captions beside the header slots. Every compiled
// template belongs to a catalogue entry whose test is built in.
TEST(Templates, EveryTemplateFitsItsCatalogueEntry) {
    size_t count = 0;
    const qs::TestCatalogueEntry* catalogue = qs::TestCatalogue(&count);
    size_t checked = 0;
    for (size_t i = 0; i < count; ++i) {
        std::string path = TemplatePath(catalogue[i].templateName);
        if (!std::filesystem::exists(path)) continue;
        EXPECT_NE(qs::FindTest(catalogue[i].id), nullptr) << path;
        SCOPED_TRACE(path);
        ++checked;
        auto book = sheets::ReadWorkbook(path);
        EXPECT_EQ(book->format(), sheets::FileFormat::Xltx);
        ASSERT_EQ(book->sheet_count(), 1u);
        const sheets::Sheet& s = book->sheet(0);
        const sheets::DefinedName* record = s.names().Find("__sm_TV_0");
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->array.values.size(), 3u);
        EXPECT_EQ(record->array.values[1].number, catalogue[i].id);
        int slots = 0;
        for (const sheets::DefinedName& n : s.names().entries()) {
            if (n.name == "__sm_TV_0" || n.name.rfind("_xlnm.", 0) == 0) continue;  // record, print area
            qs::SlotName slot;
            ASSERT_TRUE(qs::ParseSlotName(n.name, slot)) << n.name;
            EXPECT_TRUE(slot.kind == 'R' || slot.kind == 'S') << n.name;
            EXPECT_TRUE(slot.root.empty() || slot.root == "0") << n.name;
            ASSERT_EQ(n.kind, sheets::DefinedName::Kind::References) << n.name;
            EXPECT_EQ(n.references.at(0).sheet, s.name()) << n.name;
            ++slots;
        }
        EXPECT_GE(slots, 8);
        // The header captions sit to the left of the header slots.
        for (const auto& [slot, caption] : std::map<std::string, std::string>{{"__sm_RR__7d0_7d1", "Test"},
                                                                              {"__sm_RR__7d0_7d5", "Dataset"},
                                                                              {"__sm_RR__7d0_7d6", "Variables"},
                                                                              {"__sm_RR__7d0_7d3", "User"},
                                                                              {"__sm_RR__7d0_7d2", "Date"},
                                                                              {"__sm_RR__7d0_7d4", "analysed with:"}}) {
            const sheets::DefinedName* n = s.names().Find(slot);
            ASSERT_NE(n, nullptr) << slot;
            sheets::CellAddress at = n->references.at(0).area.range.first;
            ASSERT_GT(at.col, 0u);
            sheets::Value left = s.GetValue(at.row, at.col - 1);
            EXPECT_EQ(left.text, caption) << slot;
        }
        EXPECT_NE(s.page_setup().paper_size, 0u);
        // Chart objects: every series names a first cell of the template's own sheet for its values.
        for (const auto& object : s.drawings()) {
            if (!object->chart) continue;
            for (const sheets::ChartSeries& series : object->chart->series) {
                auto refs = sheets::ParseReferenceList(series.y_values, sheets::RefStyle::A1, {}, s.limits());
                ASSERT_TRUE(refs.has_value()) << series.y_values;
                EXPECT_EQ(refs->at(0).sheet, s.name()) << series.y_values;
                EXPECT_TRUE(refs->at(0).area.range.IsSingleCell()) << series.y_values;
            }
        }
    }
    size_t compiled = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TEMPLATE_FOLDER))
        compiled += entry.path().extension() == ".xlt";
    EXPECT_EQ(checked, compiled);
    EXPECT_GT(checked, 0u);
}

TEST(SlotNames, ParseIntoKindRootAndLabelPath) {
    qs::SlotName s;
    ASSERT_TRUE(qs::ParseSlotName("__sm_RR__7d0_7d1", s));
    EXPECT_EQ(s.kind, 'R');
    EXPECT_EQ(s.root, "");
    EXPECT_EQ(s.path, (std::vector<unsigned>{0x7d0, 0x7d1}));
    ASSERT_TRUE(qs::ParseSlotName("__sm_SR_0_7e0_880", s));
    EXPECT_EQ(s.kind, 'S');
    EXPECT_EQ(s.root, "0");
    EXPECT_EQ(s.path, (std::vector<unsigned>{0x7e0, 0x880}));
    EXPECT_FALSE(qs::ParseSlotName("__sm_TV_0", s));
    EXPECT_FALSE(qs::ParseSlotName("__sm_RR_0_7g0", s));
    EXPECT_FALSE(qs::ParseSlotName("__sm_RR_0__1", s));
}

// A transparent level adds nothing to the path: VCI's interval is reached as "value"'s sibling.
TEST(SlotNames, TransparentLevelsAddNothing) {
    qs::VCI v;
    v.value = 2;
    v.ci.lower = 1;
    v.ci.upper = 3;
    qs::FieldLocation at;
    ASSERT_TRUE(qs::LocateField(v, {2064}, at));
    EXPECT_EQ(at.owner, &v.ci);
    EXPECT_EQ(at.field->kind, qs::FieldKind::Pair);
    ASSERT_TRUE(qs::LocateField(v, {2041}, at));
    EXPECT_EQ(at.field->number(*at.owner), 2);
    EXPECT_FALSE(qs::LocateField(v, {2064, 2064}, at));
    EXPECT_FALSE(qs::LocateField(v, {2017}, at));
}

}  // namespace
}  // namespace rptest
