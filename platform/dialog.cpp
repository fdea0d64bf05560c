#include "platform/dialog.h"

#include <sstream>

namespace platform {

namespace {
DialogHandler& Handler() {
  static DialogHandler handler;
  return handler;
}

// Length of the UTF-8 sequence that starts with byte `c` (1 for a stray continuation byte).
size_t SequenceLength(unsigned char c) {
  if (c >= 0xF0 && c < 0xF8) return 4;
  if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}
}  // namespace

const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return "text";
    case ControlKind::Field: return "field";
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::Radio: return "radio button";
    case ControlKind::DropDown: return "drop-down";
    case ControlKind::List: return "list";
    case ControlKind::Grid: return "grid";
  }
  return "control";
}

int TypeText(DialogModel& model, int id, const std::string& text) {
  if (!model.ClearField(id)) return static_cast<int>(text.size());
  int refused = 0;
  for (size_t i = 0; i < text.size();) {
    size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
    if (i + n > text.size()) n = text.size() - i;
    if (!model.TypeCharacter(id, text.substr(i, n))) ++refused;
    i += n;
  }
  return refused;
}

DialogHandler SetDialogHandler(DialogHandler handler) {
  std::swap(Handler(), handler);
  return handler;
}

int RunDialog(DialogModel& model) {
  if (DialogHandler h = Handler()) {
    int result = h(model);
    // A front end that returns without closing the dialog has cancelled it.
    if (!model.Closed()) model.Click(2);
    return model.Closed() ? model.Result() : (result ? result : 2);
  }
  model.Click(1);
  if (!model.Closed()) model.Click(2);
  return model.Result();
}

std::string DescribeDialog(const DialogModel& model) {
  std::ostringstream out;
  out << "dialog \"" << model.Title() << "\" (" << model.Width() << " x " << model.Height() << ")\n";
  for (const DialogControl& c : model.Controls()) {
    out << "  [" << c.id << "] " << ControlKindName(c.kind);
    if (!c.label.empty()) out << " \"" << c.label << "\"";
    if (c.kind == ControlKind::Field || c.kind == ControlKind::DropDown || c.kind == ControlKind::CheckBox ||
        c.kind == ControlKind::Radio)
      out << " = \"" << c.value << "\"";
    if (c.kind == ControlKind::List) {
      out << " = ";
      for (size_t i = 0; i < c.selected.size(); ++i)
        out << (i ? ", " : "") << "\""
            << (c.selected[i] >= 0 && c.selected[i] < static_cast<int>(c.items.size()) ? c.items[c.selected[i]]
                                                                                       : std::string("?"))
            << "\"";
      if (c.selected.empty()) out << "(none)";
    }
    out << (c.enabled ? " enabled" : " disabled") << (c.visible ? " visible" : " hidden");
    out << "\n";
    if (c.kind == ControlKind::DropDown || c.kind == ControlKind::List || c.kind == ControlKind::Grid)
      for (const std::string& item : c.items) out << "      | " << item << "\n";
  }
  return out.str();
}

}  // namespace platform
