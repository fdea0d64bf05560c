// Report output: the header, the walk over the template's output slots, resizing of slots that
// receive arrays, removal of the slot names, and the records a finished report keeps.
#include "addin/framework/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

constexpr unsigned kHeaderLabel = ids::kLabelReportHeader;

// The block the root "" of slot names starts from: it holds the header as its one field, so that
// header slots name the header's own level (0x7d0) first.
struct HeaderRoot : Results {
    const Report::Header* header = nullptr;
    const FieldTable& GetFields() const override {
        static const FieldTable table = [] {
            Field f;
            f.label = kHeaderLabel;
            f.kind = FieldKind::Block;
            f.block = [](const Results& r) -> const Results* { return static_cast<const HeaderRoot&>(r).header; };
            return FieldTable{f};
        }();
        return table;
    }
    size_t Size() const override { return sizeof(void*); }
};

XlValue CellValueOf(double number) {
    // A sheet cannot hold a NaN or an infinity: a missing result stays an empty cell, an open end of
    // an interval is shown as the infinity sign.
    if (std::isnan(number)) return XlValue::Nil();
    if (std::isinf(number)) return XlValue(number > 0 ? "\xE2\x88\x9E" : "-\xE2\x88\x9E");
    return XlValue(number);
}

XLREF Area(int firstRow, int lastRow, int firstCol, int lastCol) {
    XLREF r;
    r.rwFirst = static_cast<uint16_t>(firstRow);
    r.rwLast = static_cast<uint16_t>(lastRow);
    r.colFirst = static_cast<uint8_t>(firstCol);
    r.colLast = static_cast<uint8_t>(lastCol);
    return r;
}

void DeleteNameQuietly(const std::string& qualified) {
    try {
        XlCall(XLC_DELETE_NAME, {qualified});
    } catch (CException* e) {
        e->Delete();
    }
}

void DefineLocal(const std::string& qualified, const XlValue& refersTo) {
    XlCall(XLC_DEFINE_NAME, {qualified, refersTo, nullptr, nullptr, false, nullptr, true});
}

// Two arrays of the same shape with equal values, cell by cell.
bool SameArray(const XlValue& a, const XlValue& b) {
    if (!a.Is(XLTYPE_MULTI) || !b.Is(XLTYPE_MULTI) || a.Rows() != b.Rows() || a.Columns() != b.Columns()) return false;
    for (uint16_t r = 0; r < a.Rows(); ++r)
        for (uint16_t c = 0; c < a.Columns(); ++c)
            if (!a.At(r, c).Equals(b.At(r, c))) return false;
    return true;
}

ChartOutputFn& ChartWriter() {
    static ChartOutputFn writer = nullptr;
    return writer;
}

std::string Hex(unsigned n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", n);
    return buf;
}

}  // namespace

// ------------------------------------------------------------------ the header block

const FieldTable& Report::Header::GetFields() const {
    static const FieldTable table = [] {
        auto text = [](unsigned label, CSharedString Header::*member) {
            Field f;
            f.label = label;
            f.kind = FieldKind::Text;
            f.text = [member](const Results& r) { return (static_cast<const Header&>(r).*member).str(); };
            return f;
        };
        Field date;
        date.label = ids::kLabelDate;
        date.kind = FieldKind::Number;
        date.number = [](const Results& r) { return static_cast<const Header&>(r).date; };
        return FieldTable{text(ids::kLabelTest, &Header::test),       date,
                          text(ids::kLabelUser, &Header::user),       text(ids::kLabelModule, &Header::module),
                          text(ids::kLabelDataset, &Header::dataset), text(ids::kLabelVariables, &Header::variables)};
    }();
    return table;
}

// ------------------------------------------------------------------ slot names and field paths

bool ParseSlotName(const std::string& name, SlotName& out) {
    // "__sm_" kind "R_" root { "_" hex }
    if (name.size() < 8 || name.compare(0, 5, "__sm_") != 0 || name[6] != 'R' || name[7] != '_') return false;
    out = SlotName{};
    out.kind = name[5];
    std::string rest = name.substr(8);
    size_t underscore = rest.find('_');
    out.root = rest.substr(0, underscore);
    while (underscore != std::string::npos) {
        size_t next = rest.find('_', underscore + 1);
        std::string level =
            rest.substr(underscore + 1, next == std::string::npos ? std::string::npos : next - underscore - 1);
        if (level.empty() || level.size() > 8 || level.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        out.path.push_back(static_cast<unsigned>(std::strtoul(level.c_str(), nullptr, 16)));
        underscore = next;
    }
    return true;
}

bool LocateField(const Results& block, const std::vector<unsigned>& path, FieldLocation& out) {
    if (path.empty()) return false;
    for (const Field& f : block.GetFields()) {
        if (f.flags & kFieldHidden) continue;
        bool composite = f.kind == FieldKind::Block || f.kind == FieldKind::BlockArray;
        if ((f.flags & kFieldTransparent) && composite) {
            // The level adds nothing: its fields answer at this level.
            if (f.kind == FieldKind::Block) {
                const Results* nested = f.block ? f.block(block) : nullptr;
                if (nested && LocateField(*nested, path, out)) return true;
            } else {
                // Its rows' fields answer here; without rows yet, an empty row tells the labels.
                std::vector<const Results*> rows = f.blocks ? f.blocks(block) : std::vector<const Results*>{};
                const Results* first = !rows.empty() ? rows.front() : f.row ? f.row() : nullptr;
                FieldLocation probe;
                if (first && LocateField(*first, path, probe)) {
                    out = FieldLocation{};
                    out.arrayOwner = &block;
                    out.arrayField = &f;
                    out.rest = path;
                    return true;
                }
            }
            continue;
        }
        if (f.label != path.front()) continue;
        std::vector<unsigned> below(path.begin() + 1, path.end());
        if (f.kind == FieldKind::BlockArray) {
            out = FieldLocation{};
            out.arrayOwner = &block;
            out.arrayField = &f;
            out.rest = std::move(below);
            return true;
        }
        if (below.empty()) {
            out = FieldLocation{};
            out.owner = &block;
            out.field = &f;
            return true;
        }
        if (f.kind == FieldKind::Block) {
            const Results* nested = f.block ? f.block(block) : nullptr;
            if (nested && LocateField(*nested, below, out)) return true;
        }
    }
    return false;
}

// ------------------------------------------------------------------ the report object

ReportExcel::ReportExcel(XL_SHEET_ID sheetId, bool load) : sheet(sheetId) {
    if (load) Load();
}

XlValue ReportExcel::SheetRef() const { return XlValue::Ref(sheet, {Area(0, 0, 0, 0)}); }

std::string ReportExcel::SheetKey() const { return XlCallText(xlSheetNm, {SheetRef()}).str(); }

bool ReportExcel::IsOnActiveSheet() const {
    try {
        XlValue active = XlCallResult(xlSheetId);
        return active.SheetId() == sheet;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

std::vector<std::string> ReportExcel::Names(const std::string& pattern) const {
    return XlSheetNames(SheetKey(), pattern);
}

void ReportExcel::DeleteNames(const std::string& pattern) const {
    std::string key = SheetKey();
    for (const std::string& n : Names(pattern)) DeleteNameQuietly(key + "!" + n);
}

void ReportExcel::Load() {
    tests.clear();
    current = CRef<Test>();
    std::string key = SheetKey();
    std::string firstName;
    for (const std::string& n : Names("__sm_TV*")) {
        XlValue v = XlCallResultNA(XLF_EVALUATE, {key + "!" + n});
        if (!v.Is(XLTYPE_MULTI)) continue;
        std::vector<const XlValue*> items;
        for (uint16_t r = 0; r < v.Rows(); ++r)
            for (uint16_t c = 0; c < v.Columns(); ++c) items.push_back(&v.At(r, c));
        if (items.size() < 3 || !items[0]->Is(XLTYPE_NUM) || items[0]->Number() != 1 || !items[1]->Is(XLTYPE_NUM) ||
            !items[2]->Is(XLTYPE_STR))
            continue;
        double id = items[1]->Number();
        if (!std::isfinite(id) || id < 0 || id > 1e9) continue;
        LoadedTest t;
        t.id = static_cast<unsigned>(id);
        if (const Test::Info* info = FindTest(t.id)) t.test = CRef<Test>(info->Create());
        if (tests.empty()) firstName = items[2]->Text();
        tests.push_back(t);
    }
    // Every load writes the test record again, for the first test; a sheet that holds exactly that
    // record already is left as it is (a report read for an update that then fails stays unchanged).
    if (tests.empty()) {
        DeleteNames("__sm_TR*");
        DeleteNames("__sm_TV*");
        return;
    }
    XlValue record = XlValue::Array(3, 1);
    record.At(0, 0) = XlValue(1.0);
    record.At(1, 0) = XlValue(static_cast<double>(tests.front().id));
    record.At(2, 0) = XlValue(tests.front().test ? tests.front().test->Name().str() : firstName);
    current = tests.front().test;
    std::vector<std::string> records = Names("__sm_T*");
    if (records.size() == 1 && records.front() == "__sm_TV_0" &&
        SameArray(XlCallResultNA(XLF_EVALUATE, {key + "!__sm_TV_0"}), record))
        return;
    DeleteNames("__sm_TR*");
    DeleteNames("__sm_TV*");
    DefineLocal(key + "!__sm_TV_0", record);
}

void ReportExcel::FillHeader(const Test& test) {
    header.date = XlCallNumber(XLF_NOW);
    header.user = XlCallText(XLF_GET_WORKSPACE, {26});
    header.test = test.Name();
    const Test::Info& info = test.GetInfo();
    header.module = info.module ? LoadString(info.module->nameId) : CSharedString();
    header.dataset =
        test.dataset && test.dataset->dataset ? CSharedString(test.dataset->dataset->name) : CSharedString();
    header.variables = CSharedString(test.VariablesText());
}

void ReportExcel::Put(int row, int col, const XlValue& value) {
    if (row < 0 || row > kLastReportRow || col < 0 || col > 255) return;
    XlCall(xlSet, {XlValue::Ref(sheet, {Area(row, row, col, col)}), value});
}

int ReportExcel::PutField(const Field& f, const Results& owner, int row, int col) {
    switch (f.kind) {
        case FieldKind::Number:
        case FieldKind::Count: {
            double v = f.number(owner);
            if (std::isinf(v) && (f.flags & kFieldBoundText) && f.text)
                Put(row, col, XlValue(f.text(owner)));
            else
                Put(row, col, CellValueOf(v));
            return 1;
        }
        case FieldKind::Text: Put(row, col, XlValue(f.text(owner))); return 1;
        case FieldKind::Pair: {
            std::pair<double, double> p = f.pair(owner);
            Put(row, col, CellValueOf(p.first));
            Put(row, col + 1, CellValueOf(p.second));
            return 2;
        }
        case FieldKind::NumberArray: {
            std::vector<double> v = f.numbers(owner);
            for (size_t i = 0; i < v.size() && row + static_cast<int>(i) <= kLastReportRow; ++i)
                Put(row + static_cast<int>(i), col, CellValueOf(v[i]));
            return 1;
        }
        case FieldKind::TextArray: {
            std::vector<std::string> v = f.texts(owner);
            for (size_t i = 0; i < v.size() && row + static_cast<int>(i) <= kLastReportRow; ++i)
                Put(row + static_cast<int>(i), col, XlValue(v[i]));
            return 1;
        }
        case FieldKind::Block: {
            const Results* nested = f.block ? f.block(owner) : nullptr;
            return nested ? PutRow(*nested, row, col, 1) : 1;
        }
        case FieldKind::BlockArray: return 0;  // an array inside a row has no place of its own
    }
    return 0;
}

int ReportExcel::PutRow(const Results& block, int row, int col, int depth) {
    if (depth > 16) return 0;
    int used = 0;
    for (const Field& f : block.GetFields()) {
        if (f.flags & kFieldHidden) continue;
        if (f.kind == FieldKind::Block) {
            const Results* nested = f.block ? f.block(block) : nullptr;
            used += nested ? PutRow(*nested, row, col + used, depth + 1) : 1;
        } else {
            used += PutField(f, block, row, col + used);
        }
    }
    return used;
}

// A slot of `rows` rows at `row` that must hold `wanted`: the missing rows are inserted below the
// slot's rows across the sheet's used columns (cells shifted down, so everything below moves
// with its names), and take the formats of the slot's last row.
void ReportExcel::Resize(int row, int rows, int wanted, int lastCol) {
    if (wanted <= rows) return;
    int first = row + rows;
    int last = row + wanted - 1;
    if (first > kLastReportRow) return;
    last = std::min(last, kLastReportRow);
    XlCall(XLC_SELECT, {XlValue::Ref(sheet, {Area(first, last, 0, lastCol)})});
    XlCall(XLC_INSERT, {2});
    XlCall(XLC_COPY, {XlValue::Ref(sheet, {Area(first - 1, first - 1, 0, lastCol)})});
    for (int r = first; r <= last; ++r) {
        XlCall(XLC_SELECT, {XlValue::Ref(sheet, {Area(r, r, 0, lastCol)})});
        XlCall(XLC_PASTE_SPECIAL, {4});
    }
    XlCall(XLC_CANCEL_COPY);
}

void ReportExcel::WriteSlot(const std::string& name, const Test& test) {
    SlotName slot;
    if (!ParseSlotName(name, slot) || (slot.kind != 'R' && slot.kind != 'S') || slot.path.empty()) return;
    HeaderRoot headerRoot;
    headerRoot.header = &header;
    const Results* root = nullptr;
    if (slot.root.empty())
        root = &headerRoot;
    else if (slot.root == "0")
        root = &test;
    if (!root) return;
    FieldLocation at;
    if (!LocateField(*root, slot.path, at)) return;  // a slot for a field this test does not have

    // Where the slot is now (names move when rows are inserted above them).
    XlValue ref = XlCallResultNA(XLF_EVALUATE, {SheetKey() + "!" + name});
    std::vector<XLREF> areas = ref.Areas();
    if (areas.empty() || ref.SheetId() != sheet) return;
    const XLREF& area = areas.front();
    int row = area.rwFirst, col = area.colFirst, rows = area.rwLast - area.rwFirst + 1;
    int cap = kLastReportRow - row + 1;
    auto lastColumn = [&] {
        int used = static_cast<int>(XlCallNumber(XLF_GET_DOCUMENT, {10, SheetKey()}));
        return std::clamp(std::max(used - 1, static_cast<int>(area.colLast)), 0, 255);
    };
    auto grow = [&](const void* what, int wanted) {
        for (const auto& [w, r] : m_grown)
            if (w == what && r == row) return;
        m_grown.emplace_back(what, row);
        Resize(row, rows, wanted, lastColumn());
    };

    if (at.arrayField) {
        std::vector<const Results*> blocks = at.arrayField->blocks(*at.arrayOwner);
        int n = static_cast<int>(std::min<size_t>(blocks.size(), static_cast<size_t>(cap)));
        // One array gives its rows once, however many of its fields have slots on that row.
        grow(&at.arrayField->blocks, n);
        for (int i = 0; i < n; ++i) {
            if (at.rest.empty()) {
                PutRow(*blocks[static_cast<size_t>(i)], row + i, col, 0);
                continue;
            }
            FieldLocation cell;
            if (LocateField(*blocks[static_cast<size_t>(i)], at.rest, cell) && cell.field)
                PutField(*cell.field, *cell.owner, row + i, col);
        }
        return;
    }
    const Field& f = *at.field;
    if (f.kind == FieldKind::NumberArray || f.kind == FieldKind::TextArray) {
        size_t length = f.kind == FieldKind::NumberArray ? f.numbers(*at.owner).size() : f.texts(*at.owner).size();
        grow(&f, static_cast<int>(std::min<size_t>(length, static_cast<size_t>(cap))));
    }
    PutField(f, *at.owner, row, col);
}

void ReportExcel::Output(const Test& test) {
    m_grown.clear();
    // The slots are visited from the bottom of the sheet up (left to right within a row): rows an
    // array inserts below its slot then never move a slot still to be written, so every array is
    // given its rows exactly once whatever the order of the names.
    std::string key = SheetKey();
    struct Place {
        std::string name;
        int row, col;
    };
    std::vector<Place> slots;
    for (const std::string& name : Names("__sm_*")) {
        SlotName parsed;
        if (!ParseSlotName(name, parsed)) continue;
        XlValue ref = XlCallResultNA(XLF_EVALUATE, {key + "!" + name});
        std::vector<XLREF> areas = ref.Areas();
        if (areas.empty()) continue;
        slots.push_back({name, areas.front().rwFirst, areas.front().colFirst});
    }
    std::stable_sort(slots.begin(), slots.end(),
                     [](const Place& a, const Place& b) { return a.row != b.row ? a.row > b.row : a.col < b.col; });
    int visited = 0;
    for (const Place& slot : slots) {
        WriteSlot(slot.name, test);
        if (++visited % 16 == 0) CheckEscape();
    }
    m_grown.clear();
    if (ChartOutputFn writer = ChartWriter()) {
        writer(*this, test);
        // Charts leave an object selected: the report's cells are the selection again.
        XlCall(XLC_SELECT, {XlValue::Ref(sheet, {Area(0, 0, 0, 0)})});
    }
    // A finished report keeps only its own records.
    for (const char* pattern :
         {"__sm_RR*", "__sm_RV*", "__sm_SR*", "__sm_SV*", "__sm_MR*", "__sm_MV*", "__sm_PR*", "__sm_PV*", "__sm_QR*"})
        DeleteNames(pattern);
    CheckEscape();
}

void ReportExcel::WriteRecords(const Test& test) {
    std::string key = SheetKey();
    for (const char* pattern : {"__sm_VR*", "__sm_VV*", "__sm_ER*", "__sm_EV*"}) DeleteNames(pattern);
    if (test.dataset) {
        const DatasetSourceExcel& ds = *test.dataset;
        DefineLocal(key + "!__sm_ER_0", ds.region.Value());
        XlValue layout = XlValue::Array(3, 1);
        layout.At(0, 0) = XlValue(static_cast<double>(ds.dataset ? ds.dataset->Layout() : 0));
        layout.At(1, 0) = XlValue(ds.dataset ? ds.dataset->name : std::string());
        layout.At(2, 0) = XlValue::Bool(ds.dataset && ds.dataset->IdentifierLabel());
        DefineLocal(key + "!__sm_EV_1", layout);
    }
    if (test.parameters) {
        const Parameters& p = *test.parameters;
        for (size_t i = 0; i < p.items.size(); ++i)
            DefineLocal(key + "!__sm_VV_" + Hex(static_cast<unsigned>(i)), p.StoredValue(i));
    }
}

void SetChartOutput(ChartOutputFn writer) { ChartWriter() = writer; }

bool IsReportSheet(const std::string& sheetKey) {
    try {
        XlValue type = XlCallResultNA(XLF_GET_DOCUMENT, {3, sheetKey});
        if (!type.Is(XLTYPE_NUM) || type.Number() != 1) return false;
        XlValue name = XlCallResultNA(XLF_GET_NAME, {sheetKey + "!__sm_TV_0"});
        return !name.Is(XLTYPE_ERR);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

}  // namespace qs
