// The report template compiler: reads one template source (a small line-based text format, see
// README.md beside the sources) and writes the workbook template it describes as an OOXML template
// package. Run by the build for every *.tpl file:
//
//     qs_tplc SOURCE.tpl OUTPUT.xlt
//
// Every problem is reported as "SOURCE:LINE: what" and fails the build.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sheets/io/workbook_io.h"
#include "sheets/model/model.h"

namespace {

using sheets::CellAddress;
using sheets::RangeAddress;

struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Splits a line into words; "..." is one word (with "" for a quote inside), '#' outside quotes
// starts a comment. A quoted word keeps a leading '"' marker so that values can tell text from
// numbers: the returned word is "\"text" for a quoted one.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string word;
        bool inQuotes = false;
        const bool quoted = c == '"';  // the whole word is quoted text
        while (i < line.size()) {
            c = line[i];
            if (inQuotes) {
                if (c == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    inQuotes = false;
                    ++i;
                    continue;
                }
                word += c;
                ++i;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') break;
            if (c == '"') {
                inQuotes = true;
                ++i;
                continue;
            }
            word += c;
            ++i;
        }
        if (inQuotes) throw SourceError("unterminated quoted text");
        // key="value" keeps the key: only a word that starts with a quote is marked as text.
        if (quoted) word.insert(0, 1, '"');
        out.push_back(word);
    }
    return out;
}

class Compiler {
public:
    explicit Compiler(sheets::Workbook& book) : m_book(book) {}

    void Line(const std::vector<std::string>& w) {
        const std::string& verb = w[0];
        if (verb == "sheet") return Sheet(w);
        if (!m_sheet) throw SourceError("the first statement must be: sheet \"NAME\"");
        if (verb == "test") return Test(w);
        if (verb == "paper") return Paper(w);
        if (verb == "orientation") return Orientation(w);
        if (verb == "scale") return Scale(w);
        if (verb == "width") return Width(w);
        if (verb == "style") return Style(w);
        if (verb == "cell") return Cell(w);
        if (verb == "range") return Range(w);
        if (verb == "merge") return Merge(w);
        if (verb == "slot") return Slot(w);
        if (verb == "name") return Name(w);
        if (verb == "view") return View(w);
        if (verb == "chart") return ChartObject(w);
        if (verb == "series") return Series(w);
        throw SourceError("unknown statement '" + verb + "'");
    }

    void Finish() {
        if (!m_sheet) throw SourceError("no sheet");
        if (!m_hasTest) throw SourceError("no test record (test ID \"NAME\")");
    }

private:
    static void Need(const std::vector<std::string>& w, size_t n, const char* form) {
        if (w.size() < n) throw SourceError(std::string("expected: ") + form);
    }
    static std::string Unquote(const std::string& word) {
        return !word.empty() && word[0] == '"' ? word.substr(1) : word;
    }
    static double NumberOf(const std::string& word) {
        std::optional<double> n = sheets::ParseNumberText(word);
        if (!n) throw SourceError("'" + word + "' is not a number");
        return *n;
    }

    RangeAddress RangeOf(const std::string& text) const {
        std::optional<sheets::Reference> r = sheets::ParseA1(text, m_book.limits());
        if (!r || !r->sheet.empty() || r->IsExternal()) throw SourceError("'" + text + "' is not a cell or range");
        return r->area.range;
    }

    void Sheet(const std::vector<std::string>& w) {
        Need(w, 2, "sheet \"NAME\"");
        if (m_sheet) throw SourceError("a template has one sheet");
        std::string name = Unquote(w[1]);
        std::string problem = sheets::SheetNameProblem(name);
        if (!problem.empty()) throw SourceError("sheet name: " + problem);
        m_sheet = &m_book.AddSheet(name);
        m_book.set_active_sheet(0);
    }

    // test ID "NAME": the test record, a one-column array {1;ID;"NAME"}.
    void Test(const std::vector<std::string>& w) {
        Need(w, 3, "test ID \"NAME\"");
        sheets::ArrayConstant record;
        record.rows = 3;
        record.cols = 1;
        record.values = {sheets::Value::Number(1), sheets::Value::Number(NumberOf(w[1])),
                         sheets::Value::Text(Unquote(w[2]))};
        m_sheet->names().Define("__sm_TV_0", sheets::FormatArrayConstant(record), m_book.limits());
        m_hasTest = true;
    }

    void Paper(const std::vector<std::string>& w) {
        Need(w, 2, "paper CODE");
        m_sheet->page_setup().paper_size = static_cast<uint32_t>(NumberOf(w[1]));
    }

    void Orientation(const std::vector<std::string>& w) {
        Need(w, 2, "orientation portrait|landscape");
        if (w[1] == "portrait")
            m_sheet->page_setup().orientation = sheets::Orientation::Portrait;
        else if (w[1] == "landscape")
            m_sheet->page_setup().orientation = sheets::Orientation::Landscape;
        else
            throw SourceError("orientation is portrait or landscape");
    }

    // scale PERCENT: printed at this size (10 to 400).
    void Scale(const std::vector<std::string>& w) {
        Need(w, 2, "scale PERCENT");
        double percent = NumberOf(w[1]);
        if (percent < 10 || percent > 400) throw SourceError("scale is a percentage from 10 to 400");
        m_sheet->page_setup().scale = static_cast<uint32_t>(percent);
    }

    // width COLUMNS CHARACTERS: "width A 30", "width B:F 12".
    void Width(const std::vector<std::string>& w) {
        Need(w, 3, "width COLUMN[:COLUMN] CHARACTERS");
        std::string cols = w[1];
        size_t colon = cols.find(':');
        std::optional<uint32_t> first = sheets::ParseColumnLetters(cols.substr(0, colon), m_book.limits().cols);
        std::optional<uint32_t> last = colon == std::string::npos
                                           ? first
                                           : sheets::ParseColumnLetters(cols.substr(colon + 1), m_book.limits().cols);
        if (!first || !last || *last < *first) throw SourceError("'" + cols + "' is not a column or column range");
        double width = NumberOf(w[2]);
        for (uint32_t c = *first; c <= *last; ++c) {
            sheets::ColumnInfo info = m_sheet->GetColumn(c);
            info.width = width;
            m_sheet->SetColumn(c, info);
        }
    }

    // view gridlines=on|off headings=on|off zoom=N
    void View(const std::vector<std::string>& w) {
        for (size_t i = 1; i < w.size(); ++i) {
            auto [key, value] = KeyValue(w[i]);
            if (key == "gridlines")
                m_sheet->view().gridlines = OnOff(value);
            else if (key == "headings")
                m_sheet->view().headings = OnOff(value);
            else if (key == "zoom")
                m_sheet->view().zoom = static_cast<uint32_t>(NumberOf(value));
            else
                throw SourceError("unknown view setting '" + key + "'");
        }
    }

    static bool OnOff(const std::string& v) {
        if (v == "on") return true;
        if (v == "off") return false;
        throw SourceError("expected on or off, not '" + v + "'");
    }

    static std::pair<std::string, std::string> KeyValue(const std::string& word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos) return {word, {}};
        return {word.substr(0, eq), word.substr(eq + 1)};
    }

    // style NAME ATTRIBUTES...: a named set of attributes, used as style=NAME.
    void Style(const std::vector<std::string>& w) {
        Need(w, 2, "style NAME ATTRIBUTES...");
        m_styles[w[1]] = std::vector<std::string>(w.begin() + 2, w.end());
    }

    static sheets::BorderLine Line(const std::string& weight) {
        sheets::BorderLine line;
        if (weight.empty() || weight == "thin")
            line.style = sheets::BorderStyle::Thin;
        else if (weight == "medium")
            line.style = sheets::BorderStyle::Medium;
        else if (weight == "thick")
            line.style = sheets::BorderStyle::Thick;
        else if (weight == "double")
            line.style = sheets::BorderStyle::Double;
        else if (weight == "hair")
            line.style = sheets::BorderStyle::Hair;
        else
            throw SourceError("unknown border weight '" + weight + "'");
        return line;
    }

    // Applies attributes to a format: bold italic size=N font="NAME" format="CODE"
    // align=left|center|right|across wrap border=top,bottom,left,right,box[:weight] fill=RRGGBB
    // color=RRGGBB indent=N style=NAME. Borders are applied per cell by ApplyArea (box).
    void Apply(sheets::CellFormat& f, const std::vector<std::string>& attrs, std::vector<std::string>& borders,
               int depth = 0) {
        if (depth > 8) throw SourceError("styles nest too deeply");
        for (const std::string& a : attrs) {
            auto [key, value] = KeyValue(a);
            if (key == "bold")
                f.font.bold = true;
            else if (key == "italic")
                f.font.italic = true;
            else if (key == "size")
                f.font.size = NumberOf(value);
            else if (key == "font")
                f.font.name = value;
            else if (key == "format")
                f.number_format = value;
            else if (key == "wrap")
                f.wrap_text = true;
            else if (key == "indent")
                f.indent = static_cast<uint8_t>(NumberOf(value));
            else if (key == "align") {
                if (value == "left")
                    f.horizontal = sheets::HorizontalAlignment::Left;
                else if (value == "center")
                    f.horizontal = sheets::HorizontalAlignment::Center;
                else if (value == "right")
                    f.horizontal = sheets::HorizontalAlignment::Right;
                else if (value == "across")
                    f.horizontal = sheets::HorizontalAlignment::CenterAcrossSelection;
                else
                    throw SourceError("unknown alignment '" + value + "'");
            } else if (key == "fill") {
                f.fill.pattern = sheets::FillPattern::Solid;
                f.fill.foreground = sheets::Color::Rgb(0xFF000000u | Hex(value));
            } else if (key == "color") {
                f.font.color = sheets::Color::Rgb(0xFF000000u | Hex(value));
            } else if (key == "border") {
                std::stringstream list(value);
                std::string item;
                while (std::getline(list, item, ',')) borders.push_back(item);
            } else if (key == "style") {
                auto it = m_styles.find(value);
                if (it == m_styles.end()) throw SourceError("unknown style '" + value + "'");
                Apply(f, it->second, borders, depth + 1);
            } else {
                throw SourceError("unknown attribute '" + key + "'");
            }
        }
    }

    static uint32_t Hex(const std::string& v) {
        if (v.size() != 6 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw SourceError("colour '" + v + "' must be six hex digits RRGGBB");
        return static_cast<uint32_t>(std::stoul(v, nullptr, 16));
    }

    // Formats every cell of `r` with the attributes; border sides and "box" follow the range's edges.
    void ApplyArea(const RangeAddress& r, const std::vector<std::string>& attrs) {
        for (uint32_t row = r.first.row; row <= r.last.row; ++row)
            for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
                sheets::CellFormat f = m_book.formats().Get(m_sheet->Get(row, col).format);
                std::vector<std::string> borders;
                Apply(f, attrs, borders);
                for (const std::string& b : borders) {
                    size_t colon = b.find(':');
                    std::string side = b.substr(0, colon);
                    sheets::BorderLine line = Line(colon == std::string::npos ? "" : b.substr(colon + 1));
                    bool box = side == "box";
                    if (!box && side != "top" && side != "bottom" && side != "left" && side != "right")
                        throw SourceError("unknown border side '" + side + "'");
                    // A side names that edge of every cell; "box" draws the range's outline.
                    if (side == "top" || (box && row == r.first.row)) f.borders.top = line;
                    if (side == "bottom" || (box && row == r.last.row)) f.borders.bottom = line;
                    if (side == "left" || (box && col == r.first.col)) f.borders.left = line;
                    if (side == "right" || (box && col == r.last.col)) f.borders.right = line;
                }
                m_sheet->SetFormat(row, col, m_book.formats().Intern(f));
            }
    }

    // cell REF [VALUE] ATTRIBUTES...: VALUE is "text" or a number.
    void Cell(const std::vector<std::string>& w) {
        Need(w, 2, "cell REF [VALUE] ATTRIBUTES...");
        RangeAddress r = RangeOf(w[1]);
        if (!r.IsSingleCell()) throw SourceError("cell takes one cell; use range for several");
        size_t attrsFrom = 2;
        if (w.size() > 2) {
            const std::string& v = w[2];
            if (!v.empty() && v[0] == '"') {
                m_sheet->SetText(r.first.row, r.first.col, v.substr(1));
                attrsFrom = 3;
            } else if (std::optional<double> n = sheets::ParseNumberText(v)) {
                m_sheet->SetNumber(r.first.row, r.first.col, *n);
                attrsFrom = 3;
            }
        }
        ApplyArea(r, std::vector<std::string>(w.begin() + static_cast<long>(attrsFrom), w.end()));
    }

    // range REF ATTRIBUTES...: formats a range.
    void Range(const std::vector<std::string>& w) {
        Need(w, 3, "range REF ATTRIBUTES...");
        ApplyArea(RangeOf(w[1]), std::vector<std::string>(w.begin() + 2, w.end()));
    }

    void Merge(const std::vector<std::string>& w) {
        Need(w, 2, "merge REF");
        try {
            m_sheet->Merge(RangeOf(w[1]));
        } catch (const std::exception& e) {
            throw SourceError(std::string("merge: ") + e.what());
        }
    }

    // slot REF NAME: an output slot, a local name referring to the cell or range. NAME is the slot
    // name itself (__sm_RR_0_7e1) or its label path by the labels' names in the string files:
    // "N", "Descriptive/Group" with "rows:" before it for a field of a block array's rows, or
    // "header:Test" for a field of the report header.
    void Slot(const std::vector<std::string>& w) {
        Need(w, 3, "slot REF NAME");
        const std::string name = w[2].rfind("__sm_", 0) == 0 ? w[2] : SlotNameOf(w[2]);
        if (name.rfind("__sm_", 0) != 0 || name.size() < 8 || name[6] != 'R' || name[7] != '_')
            throw SourceError("slot names have the form __sm_<kind>R_<path>: '" + name + "'");
        RangeAddress r = RangeOf(w[1]);
        sheets::Reference ref;
        ref.sheet = m_sheet->name();
        ref.area = sheets::AreaRef::Absolute(r);
        if (m_sheet->names().Find(name)) throw SourceError("slot '" + name + "' is defined twice");
        m_sheet->names().Define(name, sheets::FormatReference(ref, sheets::RefStyle::A1), m_book.limits());
    }

    // The slot name of a label path: kind R or S, root "" (the header) or "0" (the test), and one
    // hexadecimal label id per level.
    std::string SlotNameOf(std::string path) const {
        char kind = 'R';
        std::string root = "0";
        std::vector<unsigned> labels;
        if (path.rfind("rows:", 0) == 0) {
            kind = 'S';
            path.erase(0, 5);
        } else if (path.rfind("header:", 0) == 0) {
            root.clear();
            labels.push_back(LabelId("ReportHeader"));
            path.erase(0, 7);
        }
        for (size_t start = 0; start <= path.size();) {
            size_t end = path.find('/', start);
            if (end == std::string::npos) end = path.size();
            labels.push_back(LabelId(path.substr(start, end - start)));
            start = end + 1;
        }
        std::string name = std::string("__sm_") + kind + "R_" + root;
        char hex[16];
        for (unsigned id : labels) {
            std::snprintf(hex, sizeof hex, "_%x", id);
            name += hex;
        }
        return name;
    }

    // The id of the label string named "Label" + NAME (or NAME) in the string files.
    unsigned LabelId(const std::string& name) const {
        if (name.empty()) throw SourceError("empty level in a slot's label path");
        for (const std::string& key : {"Label" + name, name}) {
            auto it = m_labels.find(key);
            if (it != m_labels.end()) return it->second;
        }
        if (m_labels.empty()) throw SourceError("label '" + name + "' needs the string names (--names FILE)");
        throw SourceError("no label named '" + name + "' in the string files (a line \"ID Label" + name +
                          " \"text\"\")");
    }

public:
    // Names of the string files: "NAME ID" lines, as resgen writes them.
    void ReadLabelNames(const std::string& path) {
        std::ifstream in(path);
        if (!in) throw std::runtime_error(path + ": cannot read");
        std::string name;
        unsigned id = 0;
        while (in >> name >> id) m_labels[name] = id;
    }

private:
    std::map<std::string, unsigned> m_labels;

    // name NAME =TEXT: any other local name (a constant, an array constant or a reference).
    void Name(const std::vector<std::string>& w) {
        Need(w, 3, "name NAME =TEXT");
        std::string text = Unquote(w[2]);
        if (!text.empty() && text[0] == '=') text.erase(0, 1);
        try {
            m_sheet->names().Define(w[1], text, m_book.limits());
        } catch (const std::exception& e) {
            throw SourceError(std::string("name: ") + e.what());
        }
    }

    // chart RANGE type=scatter|line|column title="T" xtitle="T" ytitle="T" legend=none|right|bottom
    //     xaxis=on|off yaxis=on|off xmin=N xmax=N ymin=N ymax=N: a chart object covering RANGE; its
    //     series follow.
    void ChartObject(const std::vector<std::string>& w) {
        Need(w, 2, "chart RANGE ATTRIBUTES...");
        RangeAddress r = RangeOf(w[1]);
        sheets::Chart chart;
        chart.legend = sheets::LegendPosition::None;
        for (size_t i = 2; i < w.size(); ++i) {
            auto [key, value] = KeyValue(w[i]);
            if (key == "type") {
                if (value == "scatter")
                    chart.type = sheets::ChartType::Scatter;
                else if (value == "line")
                    chart.type = sheets::ChartType::Line;
                else if (value == "column")
                    chart.type = sheets::ChartType::Column;
                else
                    throw SourceError("chart type is scatter, line or column");
            } else if (key == "title") {
                chart.title = value;
            } else if (key == "xtitle") {
                chart.x_axis.title = value;
            } else if (key == "ytitle") {
                chart.y_axis.title = value;
            } else if (key == "legend") {
                if (value == "none")
                    chart.legend = sheets::LegendPosition::None;
                else if (value == "right")
                    chart.legend = sheets::LegendPosition::Right;
                else if (value == "bottom")
                    chart.legend = sheets::LegendPosition::Bottom;
                else
                    throw SourceError("legend is none, right or bottom");
            } else if (key == "xaxis" || key == "yaxis") {
                (key == "xaxis" ? chart.x_axis : chart.y_axis).visible = OnOff(value);
            } else if (key == "xmin") {
                chart.x_axis.scale.minimum = NumberOf(value);
            } else if (key == "xmax") {
                chart.x_axis.scale.maximum = NumberOf(value);
            } else if (key == "ymin") {
                chart.y_axis.scale.minimum = NumberOf(value);
            } else if (key == "ymax") {
                chart.y_axis.scale.maximum = NumberOf(value);
            } else {
                throw SourceError("unknown chart attribute '" + key + "'");
            }
        }
        sheets::ObjectAnchor anchor;
        anchor.from = r.first;
        anchor.to = CellAddress{r.last.row + 1, r.last.col + 1};
        m_chart = &m_sheet->AddChart(chart, anchor);
    }

    // series N x=CELL y=CELL name="LEGEND" line=on|off marker=none|auto|circle|square|diamond|
    //     triangle|dot|plus|x smooth: series N of the last chart (numbers 1, 2, 3 ... in order);
    //     x and y name the first cell of the lists the report writes downwards.
    void Series(const std::vector<std::string>& w) {
        Need(w, 2, "series N ATTRIBUTES...");
        if (!m_chart) throw SourceError("series comes after its chart");
        sheets::Chart& chart = *m_chart->chart;
        if (NumberOf(w[1]) != static_cast<double>(chart.series.size() + 1))
            throw SourceError("series are numbered 1, 2, 3 ... in order; expected " +
                              std::to_string(chart.series.size() + 1));
        sheets::ChartSeries s;
        s.name = "S" + std::to_string(chart.series.size() + 1);
        auto cellRef = [&](const std::string& text) {
            RangeAddress at = RangeOf(text);
            sheets::Reference ref;
            ref.sheet = m_sheet->name();
            ref.area = sheets::AreaRef::Absolute(at);
            return sheets::FormatReference(ref, sheets::RefStyle::A1);
        };
        static const std::map<std::string, sheets::MarkerStyle> kMarkers{{"auto", sheets::MarkerStyle::Automatic},
                                                                         {"none", sheets::MarkerStyle::None},
                                                                         {"circle", sheets::MarkerStyle::Circle},
                                                                         {"square", sheets::MarkerStyle::Square},
                                                                         {"diamond", sheets::MarkerStyle::Diamond},
                                                                         {"triangle", sheets::MarkerStyle::Triangle},
                                                                         {"dot", sheets::MarkerStyle::Dot},
                                                                         {"plus", sheets::MarkerStyle::Plus},
                                                                         {"x", sheets::MarkerStyle::X},
                                                                         {"dash", sheets::MarkerStyle::Dash}};
        for (size_t i = 2; i < w.size(); ++i) {
            auto [key, value] = KeyValue(w[i]);
            if (key == "x")
                s.x_values = cellRef(value);
            else if (key == "y")
                s.y_values = cellRef(value);
            else if (key == "name")
                s.name = value;
            else if (key == "line")
                s.line = OnOff(value);
            else if (key == "smooth")
                s.smooth = true;
            else if (key == "marker") {
                auto it = kMarkers.find(value);
                if (it == kMarkers.end()) throw SourceError("unknown marker '" + value + "'");
                s.marker = it->second;
            } else {
                throw SourceError("unknown series attribute '" + key + "'");
            }
        }
        if (s.y_values.empty()) throw SourceError("a series needs y=CELL");
        chart.series.push_back(std::move(s));
    }

    sheets::Workbook& m_book;
    sheets::Sheet* m_sheet = nullptr;
    sheets::DrawingObject* m_chart = nullptr;
    bool m_hasTest = false;
    std::map<std::string, std::vector<std::string>> m_styles;
};

}  // namespace

int main(int argc, char** argv) {
    // qs_tplc [--names NAMES.txt] SOURCE.tpl OUTPUT.xlt
    std::string names;
    if (argc == 5 && std::string(argv[1]) == "--names") {
        names = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: qs_tplc [--names NAMES.txt] SOURCE.tpl OUTPUT.xlt\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    sheets::Workbook book("template", sheets::SheetLimits::Classic());
    Compiler compiler(book);
    try {
        if (!names.empty()) compiler.ReadLabelNames(names);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::string line;
    int number = 0;
    try {
        while (std::getline(in, line)) {
            ++number;
            std::vector<std::string> words = Words(line);
            if (words.empty()) continue;
            compiler.Line(words);
        }
        number = 0;
        compiler.Finish();
    } catch (const std::exception& e) {
        if (number)
            std::fprintf(stderr, "%s:%d: %s\n", argv[1], number, e.what());
        else
            std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    try {
        sheets::SaveWorkbook(book, argv[2], sheets::FileFormat::Xltx);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
