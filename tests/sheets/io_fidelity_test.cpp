// Fidelity of workbooks read from other programs' files: what the model does not hold survives an
// edit and a save, while what the model changed is written as changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <cmath>
#include <functional>
#include <set>
#include <fstream>
#include <sstream>
#include <string>

#include "sheets/show.h"

#include "sheets/io/chart_xml.h"
#include "sheets/io/preserved.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/xml.h"
#include "sheets/io/zip.h"

using namespace sheets;

namespace {

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = ::pclose(p);
  return out;
}

std::string Fixture(const std::string& name) { return std::string(QS_SHEETS_DATA) + "/" + name; }

std::unique_ptr<Workbook> ReadBytes(const std::string& bytes) {
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "t.xlsx");
}

std::string Part(const std::string& bytes, const std::string& name) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  int i = zip.Find(name);
  return i < 0 ? std::string() : zip.ReadAll(size_t(i), 1 << 24);
}

// Occurrences, ignoring case (producers differ in the case of colour digits).
size_t Count(std::string text, std::string what) {
  for (auto* s : {&text, &what})
    for (char& c : *s) c = char(std::tolower(static_cast<unsigned char>(c)));
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every chart part of a saved package, in part order.
std::vector<std::string> ChartParts(const std::string& bytes) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  std::vector<std::string> out;
  for (size_t i = 0; i < zip.entries().size(); ++i)
    if (zip.entries()[i].name.starts_with("xl/charts/chart")) out.push_back(zip.ReadAll(i, 1 << 24));
  return out;
}

std::vector<std::string> ChartPartsOf(const std::string& fixture) {
  std::ifstream in(Fixture(fixture), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ChartParts(ss.str());
}

// The chart as the show command prints it, which names every modelled field.
// A name taken from a cell is compared by its reference: files may hold no cached text for it.
std::string Shown(Chart chart) {
  for (auto& s : chart.series)
    if (!s.name_ref.empty()) s.name.clear();
  Workbook book("B");
  book.AddSheet("S").AddChart(chart, {});
  std::ostringstream out;
  PrintCharts(book, out);
  return out.str();
}

std::vector<const Chart*> Charts(const Workbook& book) {
  std::vector<const Chart*> out;
  for (size_t i = 0; i < book.sheet_count(); ++i)
    for (const auto& d : book.sheet(i).drawings())
      if (d->chart) out.push_back(d->chart.get());
  return out;
}

// The scatter chart of the styled fixtures: two series with coloured lines and markers, value
// labels and error bars; a column chart with a coloured fill and value labels.
class StyledChart : public testing::TestWithParam<const char*> {};

TEST_P(StyledChart, KeepsColoursLabelsAndErrorBarsAfterACellEditAndSave) {
  auto book = ReadWorkbook(Fixture(GetParam()));
  auto before = Charts(*book);
  ASSERT_EQ(before.size(), 2u);
  std::vector<Chart> models;
  for (auto* c : before) models.push_back(*c);
  book->sheet(0).SetNumber(1, 1, 1234.5);  // B2, the first point of the first series
  std::string saved = WriteXlsxBytes(*book);
  auto parts = ChartParts(saved);
  ASSERT_EQ(parts.size(), 2u);
  const std::string& scatter = parts[0].find("scatterChart") != std::string::npos ? parts[0] : parts[1];
  const std::string& bars = &scatter == &parts[0] ? parts[1] : parts[0];
  for (const char* colour : {"C00000", "0070C0"}) EXPECT_GE(Count(scatter, colour), 2u) << colour;
  EXPECT_EQ(Count(scatter, "errBars>"), 4u) << "two error bar elements, each opened and closed";
  EXPECT_GE(Count(scatter, "showVal val=\"1\""), 2u);
  EXPECT_GE(Count(scatter, "diamond"), 2u);
  EXPECT_EQ(Count(bars, "70AD47"), Count(ChartPartsOf(GetParam())[1], "70AD47"));
  EXPECT_GE(Count(bars, "70AD47"), 1u);
  EXPECT_NE(bars.find("showVal val=\"1\""), std::string::npos);
  // The cached values follow the cell.
  EXPECT_NE(scatter.find(">1234.5<"), std::string::npos);
  EXPECT_NE(bars.find(">1234.5<"), std::string::npos);
  EXPECT_NE(scatter.find(">Control<"), std::string::npos) << "series names cached from their cells";
  // And the chart reads back as the model had it.
  auto again = ReadBytes(saved);
  auto after = Charts(*again);
  ASSERT_EQ(after.size(), 2u);
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(Shown(*after[i]), Shown(models[i]));
}

TEST_P(StyledChart, ChangesOnlyWhatTheModelChanged) {
  auto book = ReadWorkbook(Fixture(GetParam()));
  Chart* scatter = nullptr;
  for (const auto& d : book->sheet(0).drawings())
    if (d->chart && d->chart->type == ChartType::Scatter) scatter = d->chart.get();
  ASSERT_NE(scatter, nullptr);
  ASSERT_EQ(scatter->series.size(), 2u);
  scatter->title = "Renamed title";
  scatter->y_axis.scale.maximum = 40;
  scatter->x_axis.major_gridlines = !scatter->x_axis.major_gridlines;
  scatter->series[1].y_values = "Data!$C$3:$C$7";
  scatter->series[1].x_values = "Data!$A$3:$A$7";
  scatter->series[0].marker = MarkerStyle::Square;
  scatter->series[0].trendlines.push_back(Trendline{});
  scatter->legend = LegendPosition::Bottom;
  Chart expected = *scatter;
  std::string saved = WriteXlsxBytes(*book);
  std::string xml;
  for (auto& p : ChartParts(saved))
    if (p.find("scatterChart") != std::string::npos) xml = p;
  ASSERT_FALSE(xml.empty());
  // Unmodelled formatting is still there.
  EXPECT_GE(Count(xml, "C00000"), 2u);
  EXPECT_GE(Count(xml, "0070C0"), 2u);
  EXPECT_EQ(Count(xml, "errBars>"), 4u) << "both series keep their error bars";
  EXPECT_NE(xml.find("Renamed title"), std::string::npos);
  EXPECT_EQ(xml.find(">Styled<"), std::string::npos);
  // The part is still a well-formed chart that reads back to the edited model.
  XmlNode tree = ParseXmlTree(xml);
  std::string rid;
  auto parsed = ParseChartXml(tree, &rid);
  ASSERT_TRUE(parsed);
  expected.text_boxes.clear();
  EXPECT_EQ(Shown(*parsed), Shown(expected));
  auto again = ReadBytes(saved);
  bool found = false;
  for (auto* c : Charts(*again))
    if (c->type == ChartType::Scatter) {
      EXPECT_EQ(Shown(*c), Shown(expected));
      found = true;
    }
  EXPECT_TRUE(found);
}

TEST_P(StyledChart, RemovedAndAddedSeriesAndANewTypeAreWrittenSoundly) {
  auto book = ReadWorkbook(Fixture(GetParam()));
  Chart* scatter = nullptr;
  for (const auto& d : book->sheet(0).drawings())
    if (d->chart && d->chart->type == ChartType::Scatter) scatter = d->chart.get();
  ASSERT_NE(scatter, nullptr);
  // The first series goes: the second keeps its own colour, not the first one's.
  scatter->series.erase(scatter->series.begin());
  ChartSeries extra;
  extra.name = "Extra";
  extra.y_values = "{1,2,3}";
  scatter->series.push_back(extra);
  Chart expected = *scatter;
  std::string saved = WriteXlsxBytes(*book);
  std::string xml;
  for (auto& p : ChartParts(saved))
    if (p.find("scatterChart") != std::string::npos) xml = p;
  EXPECT_EQ(xml.find("C00000"), std::string::npos);
  EXPECT_GE(Count(xml, "0070C0"), 2u);
  auto parsed = ParseChartXml(ParseXmlTree(xml), nullptr);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(Shown(*parsed), Shown(expected));
  // Distinct series indexes (they pick the automatic colours).
  XmlNode tree = ParseXmlTree(xml);
  std::set<std::string> idx;
  std::function<void(const XmlNode&)> walk = [&](const XmlNode& n) {
    if (n.local() == "ser")
      if (auto* i = n.Child("idx")) {
        EXPECT_TRUE(idx.insert(i->AttrOr("val", "")).second);
      }
    for (const auto& c : n.children) walk(c);
  };
  walk(tree);
  EXPECT_EQ(idx.size(), 2u);

  // Another chart type is written anew: nothing of the old kind's formatting can fit it.
  scatter->type = ChartType::Line;
  saved = WriteXlsxBytes(*book);
  bool line = false;
  for (auto& p : ChartParts(saved))
    if (p.find("lineChart") != std::string::npos) {
      line = true;
      EXPECT_EQ(p.find("errBars"), std::string::npos);
    }
  EXPECT_TRUE(line);
}

// A saved package with one part's text changed.
std::string WithPart(const std::string& bytes, const std::string& name, const std::function<void(std::string&)>& edit) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  MemorySink sink;
  ZipWriter w(sink);
  for (size_t i = 0; i < zip.entries().size(); ++i) {
    std::string data = zip.ReadAll(i, 1 << 24);
    if (zip.entries()[i].name == name) edit(data);
    w.Add(zip.entries()[i].name, data);
  }
  w.Finish();
  return sink.bytes();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

TEST(SheetViews, EveryViewOfEveryWindowIsWrittenAndReadBack) {
  Workbook book("B");
  book.windows().resize(2);
  book.windows()[1].x = 300;
  Sheet& s = book.AddSheet("Data");
  s.SetNumber(0, 0, 1);
  s.view().zoom = 150;
  s.view().frozen_rows = 1;
  SheetView second;
  second.window = 1;
  second.zoom = 75;
  second.gridlines = false;
  second.top_left = {40, 2};
  second.active_cell = {41, 3};
  second.selection = {RangeAddress{{41, 3}, {45, 4}}};
  s.other_views().push_back(second);
  SheetView orphan;  // of a window the workbook does not have: not written
  orphan.window = 5;
  s.other_views().push_back(orphan);
  Chart chart;
  ChartSeries series;
  series.y_values = "{1,2}";
  chart.series.push_back(series);
  Sheet& cs = book.AddSheet("Plot", SheetKind::Chart);
  cs.chart() = chart;
  cs.view().zoom = 80;
  SheetView chart_second;
  chart_second.window = 1;
  chart_second.zoom = 60;
  cs.other_views().push_back(chart_second);

  std::string saved = WriteXlsxBytes(book);
  auto again = ReadBytes(saved);
  const Sheet& r = again->sheet(0);
  EXPECT_EQ(r.view(), s.view());
  ASSERT_EQ(r.other_views().size(), 1u);
  EXPECT_EQ(r.other_views()[0], second);
  const Sheet& rc = again->sheet(1);
  EXPECT_EQ(rc.view().zoom, 80u);
  ASSERT_EQ(rc.other_views().size(), 1u);
  EXPECT_EQ(rc.other_views()[0].zoom, 60u);
  EXPECT_EQ(rc.other_views()[0].window, 1u);
}

TEST(SheetViews, WhatTheModelDoesNotHoldOfAViewSurvivesAnEditAndSave) {
  Workbook book("B");
  book.windows().resize(2);
  book.AddSheet("Data").SetNumber(0, 0, 1);
  book.sheet(0).other_views().push_back(SheetView{});
  book.sheet(0).other_views()[0].window = 1;
  std::string bytes = WithPart(WriteXlsxBytes(book), "xl/worksheets/sheet1.xml", [](std::string& xml) {
    // The first view shows formulas right to left in page layout; the second is split in four.
    Replace(xml, "<sheetView workbookViewId=\"0\">",
            "<sheetView rightToLeft=\"1\" showFormulas=\"1\" view=\"pageLayout\" zoomScaleNormal=\"90\" "
            "workbookViewId=\"0\">");
    Replace(xml, "<sheetView workbookViewId=\"1\"><selection activeCell=\"A1\" sqref=\"A1\"/>",
            "<sheetView workbookViewId=\"1\"><pane xSplit=\"2000\" ySplit=\"1500\" topLeftCell=\"C5\" "
            "activePane=\"bottomRight\"/><selection pane=\"topRight\" activeCell=\"D1\" sqref=\"D1\"/>"
            "<selection pane=\"bottomRight\" activeCell=\"E7\" sqref=\"E7:F9\"/>");
  });
  auto read = ReadBytes(bytes);
  Sheet& s = read->sheet(0);
  ASSERT_EQ(s.other_views().size(), 1u);
  EXPECT_EQ(s.other_views()[0].active_cell, (CellAddress{6, 4}));
  s.SetNumber(3, 3, 42);
  s.other_views()[0].zoom = 120;
  std::string saved = WriteXlsxBytes(*read);
  std::string xml = Part(saved, "xl/worksheets/sheet1.xml");
  for (const char* kept : {"rightToLeft=\"1\"", "showFormulas=\"1\"", "view=\"pageLayout\"", "zoomScaleNormal=\"90\"",
                           "xSplit=\"2000\"", "pane=\"topRight\" activeCell=\"D1\"", "zoomScale=\"120\""})
    EXPECT_NE(xml.find(kept), std::string::npos) << kept;
  auto again = ReadBytes(saved);
  EXPECT_EQ(again->sheet(0).view(), s.view());
  ASSERT_EQ(again->sheet(0).other_views().size(), 1u);
  EXPECT_EQ(again->sheet(0).other_views()[0], s.other_views()[0]);
  // Freezing panes replaces the split.
  again->sheet(0).other_views()[0].frozen_rows = 2;
  xml = Part(WriteXlsxBytes(*again), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(xml.find("xSplit=\"2000\""), std::string::npos);
  EXPECT_NE(xml.find("state=\"frozen\""), std::string::npos);
}

// A workbook file whose only sheet's cells are given as written.
std::string WithCells(const std::string& sheet_data) {
  Workbook book("B");
  book.AddSheet("Data").SetNumber(0, 0, 1);
  return WithPart(WriteXlsxBytes(book), "xl/worksheets/sheet1.xml", [&](std::string& xml) {
    size_t a = xml.find("<sheetData");
    size_t b = xml.find("</sheetData>") + std::string("</sheetData>").size();
    xml.replace(a, b - a, "<sheetData>" + sheet_data + "</sheetData>");
  });
}

TEST(SharedFormulas, CellsBeforeTheDefiningCellTakeItsFormulaAndOrphansKeepTheirValue) {
  auto book = ReadBytes(
      WithCells("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" si=\"0\"/><v>10</v></c>"
                "<c r=\"C1\"><f t=\"shared\" si=\"7\"/><v>99</v></c></row>"
                "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\"><f t=\"shared\" ref=\"B1:B3\" "
                "si=\"0\">A2*10</f><v>20</v></c></row>"
                "<row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>30</v></c></row>"));
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.Get(0, 1).formula, "A1*10");
  EXPECT_EQ(s.GetValue(0, 1), Value::Number(10));
  EXPECT_EQ(s.Get(1, 1).formula, "A2*10");
  EXPECT_EQ(s.Get(2, 1).formula, "A3*10");
  EXPECT_EQ(s.GetValue(2, 1), Value::Number(30));
  // No cell defines formula 7: the value is what the file says.
  EXPECT_FALSE(s.Get(0, 2).HasFormula());
  EXPECT_EQ(s.GetValue(0, 2), Value::Number(99));
}

// A package with one more part.
std::string WithNewPart(const std::string& bytes, const std::string& name, const std::string& data) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  MemorySink sink;
  ZipWriter w(sink);
  for (size_t i = 0; i < zip.entries().size(); ++i) w.Add(zip.entries()[i].name, zip.ReadAll(i, 1 << 24));
  w.Add(name, data);
  w.Finish();
  return sink.bytes();
}

TEST(SheetRename, KeptPartsAndElementsFollowARenamedSheet) {
  Workbook book("B");
  book.AddSheet("Data").SetNumber(0, 0, 1);
  book.AddSheet("Other").SetNumber(0, 0, 2);
  std::string bytes = WithPart(WriteXlsxBytes(book), "xl/worksheets/sheet2.xml", [](std::string& xml) {
    Replace(xml, "</sheetData>",
            "</sheetData><dataValidations count=\"1\"><dataValidation type=\"list\" sqref=\"B1\">"
            "<formula1>Data!$A$1:$A$3</formula1></dataValidation></dataValidations>"
            "<hyperlinks><hyperlink ref=\"C1\" location=\"'Data'!A1\" display=\"to data\"/></hyperlinks>");
  });
  bytes = WithNewPart(bytes, "xl/pivotCache/pivotCacheDefinition1.xml",
                      "<pivotCacheDefinition xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                      "<cacheSource type=\"worksheet\"><worksheetSource ref=\"A1:A3\" sheet=\"Data\"/></cacheSource>"
                      "</pivotCacheDefinition>");
  // A 3-D chart, which the model does not hold, kept as it is but for its references.
  bytes = WithNewPart(
      bytes, "xl/charts/chart7.xml",
      "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart><c:view3D/>"
      "<c:plotArea><c:bar3DChart><c:ser><c:val><c:numRef><c:f>Data!$A$1:$A$3</c:f></c:numRef></c:val>"
      "</c:ser></c:bar3DChart></c:plotArea></c:chart></c:chartSpace>");
  bytes =
      WithNewPart(bytes, "xl/tables/table1.xml",
                  "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" ref=\"A1:B3\">"
                  "<tableColumns count=\"1\"><tableColumn id=\"1\" name=\"Sum\"><calculatedColumnFormula>Data!A1*2"
                  "</calculatedColumnFormula></tableColumn></tableColumns></table>");
  auto read = ReadBytes(bytes);
  read->RenameSheet(0, "Obs 2024");
  std::string saved = WriteXlsxBytes(*read);
  std::string other = Part(saved, "xl/worksheets/sheet2.xml");
  EXPECT_NE(other.find("<formula1>'Obs 2024'!$A$1:$A$3</formula1>"), std::string::npos) << other;
  EXPECT_NE(other.find("location=\"'Obs 2024'!A1\""), std::string::npos);
  EXPECT_NE(Part(saved, "xl/pivotCache/pivotCacheDefinition1.xml").find("sheet=\"Obs 2024\""), std::string::npos);
  std::string chart = Part(saved, "xl/charts/chart7.xml");
  EXPECT_NE(chart.find("<c:f>'Obs 2024'!$A$1:$A$3</c:f>"), std::string::npos) << chart;
  EXPECT_NE(chart.find("<c:view3D/>"), std::string::npos);
  EXPECT_NE(Part(saved, "xl/tables/table1.xml").find("'Obs 2024'!A1*2"), std::string::npos);

  // Saved again unrenamed, nothing changes; renamed back, the old names return.
  auto again = ReadBytes(saved);
  EXPECT_EQ(Part(WriteXlsxBytes(*again), "xl/pivotCache/pivotCacheDefinition1.xml"),
            Part(saved, "xl/pivotCache/pivotCacheDefinition1.xml"));
  again->RenameSheet(0, "Data");
  EXPECT_NE(Part(WriteXlsxBytes(*again), "xl/worksheets/sheet2.xml").find("<formula1>Data!$A$1:$A$3</formula1>"),
            std::string::npos);
}

TEST_P(StyledChart, ReferencesTheModelDoesNotHoldFollowARenamedSheet) {
  auto book = ReadWorkbook(Fixture(GetParam()));
  book->RenameSheet(0, "Obs");
  std::string saved = WriteXlsxBytes(*book);
  for (const auto& xml : ChartParts(saved)) {
    EXPECT_EQ(Count(xml, "Data"), 0u);
    EXPECT_GE(Count(xml, "Obs!$"), 1u);
  }
  // The charts read back refer to the sheet by its new name and keep their look.
  auto again = ReadBytes(saved);
  for (auto* c : Charts(*again))
    for (const auto& s : c->series) EXPECT_TRUE(s.y_values.starts_with("Obs!")) << s.y_values;
  EXPECT_GE(Count(ChartParts(saved)[0] + ChartParts(saved)[1], "c00000"), 2u);
}

TEST(StyledChartParts, AChartsStylePartIsKeptAndAChartMovedToAnotherBookIsWrittenAnew) {
  std::ifstream in(Fixture("openpyxl-styled-chart.xlsx"), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string style =
      "<cs:chartStyle xmlns:cs=\"http://schemas.microsoft.com/office/drawing/2012/chartStyle\" id=\"201\"/>";
  std::string bytes = WithNewPart(ss.str(), "xl/charts/style1.xml", style);
  bytes = WithNewPart(
      bytes, "xl/charts/_rels/chart1.xml.rels",
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.microsoft.com/office/2011/relationships/chartStyle\" "
      "Target=\"style1.xml\"/></Relationships>");
  auto book = ReadBytes(bytes);
  std::string saved = WriteXlsxBytes(*book);
  EXPECT_EQ(Part(saved, "xl/charts/style1.xml"), style);
  bool related = false;
  for (int k = 1; k <= 2; ++k) {
    std::string rels = Part(saved, "xl/charts/_rels/chart" + std::to_string(k) + ".xml.rels");
    related = related ||
              (rels.find("chartStyle") != std::string::npos && rels.find("/xl/charts/style1.xml") != std::string::npos);
  }
  EXPECT_TRUE(related);

  // In a workbook without that part, the chart is written from the model alone.
  Workbook other("Other");
  Sheet& s = other.AddSheet("Data");
  for (const auto& d : book->sheet(0).drawings())
    if (d->chart) s.AddChart(*d->chart, d->anchor);
  std::string moved = WriteXlsxBytes(other);
  for (const auto& xml : ChartParts(moved)) EXPECT_EQ(Count(xml, "errBars"), 0u);
  for (int k = 1; k <= 2; ++k) EXPECT_EQ(Part(moved, "xl/charts/_rels/chart" + std::to_string(k) + ".xml.rels"), "");
}

// Every index a saved styles part uses lies inside the tables it writes.
TEST(KeptStyles, CellStyleFormatsOfAnotherProgramStayWithinTheWrittenTables) {
  auto book = ReadWorkbook(Fixture("libreoffice-features.xlsx"));
  XmlNode styles = ParseXmlTree(Part(WriteXlsxBytes(*book), "xl/styles.xml"));
  auto count = [&](std::string_view table) { return styles.Child(table) ? styles.Child(table)->children.size() : 0; };
  std::set<std::string> custom;
  if (auto* n = styles.Child("numFmts"))
    for (auto* f : n->ChildrenNamed("numFmt")) custom.insert(f->AttrOr("numFmtId", ""));
  size_t checked = 0;
  for (std::string_view list : {"cellStyleXfs", "cellXfs"}) {
    ASSERT_NE(styles.Child(list), nullptr);
    for (auto* xf : styles.Child(list)->ChildrenNamed("xf")) {
      EXPECT_LT(std::stoul(xf->AttrOr("fontId", "0")), count("fonts"));
      EXPECT_LT(std::stoul(xf->AttrOr("fillId", "0")), count("fills"));
      EXPECT_LT(std::stoul(xf->AttrOr("borderId", "0")), count("borders"));
      std::string num = xf->AttrOr("numFmtId", "0");
      if (std::stoul(num) >= 164) {
        EXPECT_TRUE(custom.count(num)) << num;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 10u);
}

// A second reader sees the edited charts with their formatting: openpyxl, run on the saved file.
const char* kChartProbe = R"(
import sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    for ch in ws._charts:
        title = ""
        if ch.title is not None and ch.title.tx is not None and ch.title.tx.rich is not None:
            title = "".join(r.t for p in ch.title.tx.rich.p for r in (p.r or []))
        print("chart", type(ch).__name__, title)
        for s in ch.series:
            sp = s.spPr
            fill = None
            if sp is not None:
                f = sp.ln.solidFill if sp.ln is not None and sp.ln.solidFill is not None else sp.solidFill
                if f is not None and f.srgbClr is not None:
                    fill = f.srgbClr if isinstance(f.srgbClr, str) else f.srgbClr.val
            print("series", str(fill).upper(), bool(s.dLbls is not None and s.dLbls.showVal), s.errBars is not None)
)";

TEST_P(StyledChart, AnotherReaderSeesTheEditedChartWithItsFormatting) {
  int status = 0;
  RunCommand("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "openpyxl is not installed (python3-openpyxl): second-reader check skipped";
  auto book = ReadWorkbook(Fixture(GetParam()));
  Chart* scatter = nullptr;
  for (const auto& d : book->sheet(0).drawings())
    if (d->chart && d->chart->type == ChartType::Scatter) scatter = d->chart.get();
  ASSERT_NE(scatter, nullptr);
  scatter->title = "Edited";
  scatter->series.erase(scatter->series.begin());
  scatter->y_axis.scale.maximum = 30;
  book->sheet(0).SetNumber(2, 2, 77);
  std::string dir = testing::TempDir();
  std::string file = dir + "/styled-" + std::to_string(::getpid()) + ".xlsx";
  std::string script = dir + "/probe-" + std::to_string(::getpid()) + ".py";
  SaveWorkbook(*book, file);
  std::ofstream(script) << kChartProbe;
  std::string out = RunCommand("/usr/bin/python3 " + script + " " + file + " 2>&1", &status);
  std::remove(file.c_str());
  std::remove(script.c_str());
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("chart ScatterChart Edited\nseries 0070C0 True True\n"), std::string::npos) << out;
  EXPECT_NE(out.find("chart BarChart Bars\nseries 70AD47 True False\n"), std::string::npos) << out;
}

// Formulas and names of a .xls file read as the same program's .xlsx of the same workbook gives them;
// a sheet calls every built-in function the reader knows.
TEST(XlsFormulas, ReadAsTheSameWorkbookSavedAsXlsx) {
  auto xls = ReadWorkbook(Fixture("libreoffice-formulas.xls"));
  auto xlsx = ReadWorkbook(Fixture("libreoffice-formulas.xlsx"));
  ASSERT_EQ(xls->sheet_count(), xlsx->sheet_count());
  size_t formulas = 0;
  for (size_t i = 0; i < xlsx->sheet_count(); ++i) {
    const Sheet& want = xlsx->sheet(i);
    const Sheet& got = xls->sheet(i);
    want.ForEachCell([&](uint32_t row, uint32_t col, const CellView& v) {
      CellView g = got.Get(row, col);
      // The xlsx spells the constants TRUE and FALSE as calls.
      std::string expected(v.formula);
      for (std::string_view call : {"TRUE()", "FALSE()"})
        for (size_t at; (at = expected.find(call)) != std::string::npos;) expected.erase(at + call.size() - 2, 2);
      EXPECT_EQ(g.formula, expected) << want.name() << "!" << CellName({row, col});
      if (v.HasFormula()) ++formulas;
      if (want.name() == "Functions") return;  // volatile and locale-dependent results: the formulas tell
      Value a = g.ToValue(), b = v.ToValue();
      if (a.type == ValueType::Number && b.type == ValueType::Number)
        EXPECT_NEAR(a.number, b.number, 1e-12 * std::abs(b.number));
      else
        EXPECT_EQ(a, b) << want.name() << "!" << CellName({row, col});
    });
  }
  EXPECT_GE(formulas, 200u);
  EXPECT_EQ(xls->sheet(0).array_formulas(), xlsx->sheet(0).array_formulas());
  EXPECT_EQ(xls->sheet(0).array_formulas().size(), 3u);
  auto names = [](const NameTable& t) {
    std::string out;
    for (const auto& n : t.entries()) out += n.name + (n.hidden ? " (hidden)" : "") + " = " + n.refers_to + "\n";
    return out;
  };
  EXPECT_EQ(names(xls->names()), names(xlsx->names()));
  for (size_t i = 0; i < xlsx->sheet_count(); ++i)
    EXPECT_EQ(names(xls->sheet(i).names()), names(xlsx->sheet(i).names()));
}

TEST(XlsFormulas, ReferencesAcrossSheets) {
  auto book = ReadWorkbook(Fixture("libreoffice-3d.xls"));
  const Sheet* total = book->FindSheet("Total");
  ASSERT_NE(total, nullptr);
  EXPECT_EQ(total->Get(0, 0).formula, "SUM(Jan:Feb!A1:A1)");
  EXPECT_EQ(total->Get(0, 1).formula, "SUM('Jan:Mar 2'!$A$1:B1)");
  EXPECT_EQ(total->Get(0, 2).formula, "Feb!B1*2");
  EXPECT_EQ(total->GetValue(0, 1), Value::Number(66));
}

// Array constants (rows and columns; numbers, texts with quotes, truth values, errors) in cell
// formulas and names read as the same program's .xlsx of the same workbook gives them.
TEST(XlsFormulas, ArrayConstantsReadAsTheXlsxOfTheSameWorkbook) {
  auto xls = ReadWorkbook(Fixture("libreoffice-constants.xls"));
  auto xlsx = ReadWorkbook(Fixture("libreoffice-constants.xlsx"));
  const Sheet& got = xls->sheet(0);
  size_t formulas = 0;
  xlsx->sheet(0).ForEachCell([&](uint32_t row, uint32_t col, const CellView& v) {
    formulas += v.HasFormula();
    if (row == 5) return;  // that program writes it to .xls as the constant #N/A
    // Numbers in formula text are spelled our way ("1E+20" where that program writes "1E+020").
    std::string want(v.formula);
    if (size_t e = want.find("E+020"); e != std::string::npos) want.replace(e, 5, "E+20");
    EXPECT_EQ(got.Get(row, col).formula, want) << CellName({row, col});
  });
  EXPECT_EQ(formulas, 9u);
  EXPECT_EQ(got.Get(2, 0).formula, "INDEX({1,2;3,4},2,2)");
  EXPECT_EQ(got.Get(3, 0).formula, "INDEX({\"a\",\"b\"\"c\"},1,2)");
  ASSERT_NE(xls->names().Find("Grid"), nullptr);
  EXPECT_EQ(xls->names().Find("Grid")->refers_to, xlsx->names().Find("Grid")->refers_to);
  EXPECT_EQ(xls->names().Find("Grid")->array.rows, 2u);
  EXPECT_EQ(xls->names().Find("Row")->refers_to, "{1,2,3}");
}

// References to another workbook in defined names: its path decoded from the record's encoding, its
// sheet names. Cell formulas with such references and references through an add-in's entry are not
// read: the cell keeps its value (an .xlsx cell formula could only hold them as link numbers), the
// name is left out.
TEST(XlsFormulas, ReferencesToAnotherWorkbook) {
  auto book = ReadWorkbook(Fixture("external-references.xls"));
  ASSERT_NE(book->names().Find("Ext"), nullptr);
  EXPECT_EQ(book->names().Find("Ext")->refers_to, "'C:\\data\\[Other.xlsx]Sheet1'!$A$1");
  ASSERT_EQ(book->names().Find("Ext")->references.size(), 1u);
  EXPECT_EQ(book->names().Find("Ext")->references[0].workbook, "C:\\data\\Other.xlsx");
  EXPECT_EQ(book->names().Find("Rates")->refers_to, "'C:\\data\\[Other.xlsx]Rates 2'!$A$1:$B$3");
  EXPECT_EQ(book->names().Find("Here")->refers_to, "Data!$B$2");
  EXPECT_EQ(book->names().Find("AddIn"), nullptr);
  const Sheet& s = book->sheet(0);
  for (uint32_t row = 0; row < 3; ++row) EXPECT_EQ(s.Get(row, 0).formula, "") << row;
  EXPECT_EQ(s.GetValue(0, 0), Value::Number(84));
  EXPECT_EQ(s.GetValue(1, 0), Value::Number(9.5));
  // Saved as .xlsx and read again, the references are the same.
  std::string bytes = WriteXlsxBytes(*book);
  auto back = ReadBytes(bytes);
  EXPECT_EQ(back->names().Find("Ext")->refers_to, book->names().Find("Ext")->refers_to);
  EXPECT_EQ(back->names().Find("Rates")->refers_to, book->names().Find("Rates")->refers_to);
}

INSTANTIATE_TEST_SUITE_P(Producers, StyledChart,
                         testing::Values("openpyxl-styled-chart.xlsx", "libreoffice-styled-chart.xlsx"),
                         [](const auto& info) {
                           return std::string(info.param).substr(0, std::string(info.param).find('-'));
                         });

}  // namespace

// A title given to a chart that was read without one goes in among the chart's other elements; the
// plot written after it is still the one that was read, with the model's changes.
TEST(StyledChartParts, ATitleAddedToAChartReadWithoutOneKeepsThePlot) {
  Workbook book("Titles");
  Sheet& s = book.AddSheet("Data");
  for (uint32_t r = 0; r < 4; ++r) s.SetValue(r, 0, Value::Number(r + 1.0));
  Chart bars;
  bars.type = ChartType::Bar;
  ChartSeries b;
  b.name = "S1";
  b.y_values = "Data!$A$1:$A$4";
  bars.series.push_back(b);
  s.AddChart(bars, {{6, 1}, 0, 0, {20, 8}, 0, 0});
  auto read = ReadBytes(WriteXlsxBytes(book));
  Chart* chart = read->sheet(0).drawings().front()->chart.get();
  ASSERT_NE(chart, nullptr);
  ASSERT_EQ(chart->title, "");
  chart->title = "Added";
  chart->y_axis.title = "Count";
  chart->series[0].y_values = "Data!$A$1:$A$3";
  auto again = ReadBytes(WriteXlsxBytes(*read));
  const Chart* after = again->sheet(0).drawings().front()->chart.get();
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->title, "Added");
  EXPECT_EQ(after->y_axis.title, "Count");
  ASSERT_EQ(after->series.size(), 1u);
  EXPECT_EQ(after->series[0].y_values, "Data!$A$1:$A$3");
}
