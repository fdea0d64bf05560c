// What a workbook read from an xlsx package keeps of the parts and elements the model does not
// interpret, so that saving it loses nothing: other parts (images, comments, pivot tables, VBA
// projects, custom XML, themes, document properties) with their relationships, and the unmodelled
// elements of the workbook, styles, sheets and drawings that are rewritten.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sheets/io/xml.h"
#include "sheets/model/chart.h"

namespace sheets {

struct PreservedRel {
  std::string id;
  std::string type;         // relationship type URI
  std::string target;       // as written in the rels part
  std::string target_mode;  // "External" or empty
};

struct PackagePreserved {
  // Parts copied as they were, by part name without a leading '/' ("xl/media/image1.png").
  std::map<std::string, std::string> parts;
  // Content types: extension defaults, and overrides of the preserved parts.
  std::map<std::string, std::string> content_defaults;
  std::map<std::string, std::string> content_overrides;
  // Relationships of the package (except the main document) and of its preserved parts' owners.
  std::vector<PreservedRel> package_rels;
  std::vector<PreservedRel> workbook_rels;  // except sheets, styles, shared strings, calc chain
  std::vector<std::pair<std::string, std::string>> workbook_root_attrs;  // xmlns..., mc:Ignorable
  std::vector<XmlNode> workbook_elements;                                // unmodelled children of <workbook>
  std::vector<XmlNode> style_elements;  // dxfs, colors, cellStyles, cellStyleXfs, tableStyles, extLst
  // Targets of the external links, in the order of <externalReferences> ("[1]" is the first); the
  // link parts themselves are kept in parts.
  std::vector<std::string> external_links;
  std::vector<std::pair<std::string, std::string>> styles_root_attrs;
};

struct SheetPreserved {
  // The sheet's name in the file: references to it in what is kept follow a rename when saving.
  std::string name_as_read;
  std::vector<std::pair<std::string, std::string>> root_attrs;  // of <worksheet> / <chartsheet>
  std::vector<XmlNode> elements;                                // unmodelled children
  std::vector<PreservedRel> rels;                               // every relationship except the drawing's
  // The sheet's views as read, in the order of the model's (view(), then other_views()), for what
  // the model does not hold of them (split panes, right to left, formulas shown, page layout ...);
  // and the other children of <sheetViews> (extLst).
  std::vector<XmlNode> views;
  std::vector<XmlNode> views_other;
  // The drawing: anchors the model does not hold (pictures, shapes, unsupported charts) and the
  // relationships they use.
  std::vector<std::pair<std::string, std::string>> drawing_root_attrs;
  std::vector<XmlNode> drawing_anchors;
  std::vector<PreservedRel> drawing_rels;
};

// A chart part as read: its tree, the chart the model made of it (to tell what changed since) and
// its relationships other than the text boxes' (chart styles, colours, pictures), with targets as
// absolute part names ("/xl/charts/style1.xml"); the parts they name are kept in the package.
struct ChartPreserved {
  XmlNode tree;
  Chart as_read;
  std::vector<PreservedRel> rels;
};

}  // namespace sheets
