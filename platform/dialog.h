// Dialogs. A program shows a dialog as a model: its title and controls (what a person sees) and the
// events a person causes (typing into a field, choosing a list entry, clicking). A front end shows
// the model and drives it until it closes; without a front end installed the dialog is confirmed as
// it stands (OK, and Cancel when OK leaves it open), as a person pressing Enter and then Escape would.
//
// Like the message-box handler, the front end is one per process: a program that loads add-ins
// exports this unit's functions so that an add-in's dialogs reach the program's front end.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind {
  Static,    // a text
  Field,     // an edit field (typed character by character)
  Button,    // a push button
  CheckBox,  // value "1" ticked, "0" not
  Radio,     // a radio button of a group; value "1" when chosen
  DropDown,  // a closed box with a popup list: value is the chosen entry's text
  List,      // a list: one or several entries selected
  Grid,      // a list of rows and columns whose cells can be edited
};

const char* ControlKindName(ControlKind kind);

// One control as a person sees it.
struct DialogControl {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string label;               // the caption (a field's or list's caption, a button's text)
  std::string value;               // the text shown (field text, chosen entry, "1"/"0" for boxes)
  std::vector<std::string> items;  // entries of a drop-down or list; grid: one row per item, cells
                                   // joined by '\t'
  std::vector<int> selected;       // selected entries (indexes into items)
  bool enabled = true;
  bool visible = true;
  bool multiple = false;                    // a list where several entries can be selected
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

class DialogModel {
 public:
  virtual ~DialogModel() = default;

  // Which dialog this is, for a front end that answers dialogs from a script ("run-test",
  // "dataset", "variable" ...), and its title.
  virtual std::string Name() const = 0;
  virtual std::string Title() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The controls in tab order.
  virtual std::vector<DialogControl> Controls() const = 0;
  virtual int Focus() const = 0;

  // Events. Each returns false when the control refused it (no such control, disabled or hidden,
  // a character the field does not take, an entry out of range).
  // Empties a field (select all, delete).
  virtual bool ClearField(int id) = 0;
  // Types one character (a UTF-8 sequence) at the end of a field's text.
  virtual bool TypeCharacter(int id, const std::string& character) = 0;
  // Chooses entry `index` of a drop-down or list (the only selected one).
  virtual bool Choose(int id, int index) = 0;
  // Selects exactly these entries of a list that allows several.
  virtual bool SelectItems(int id, const std::vector<int>& indexes) = 0;
  // Clicks a button, check box or radio button. Ids 1 (OK) and 2 (Cancel) close the dialog when
  // it accepts them.
  virtual bool Click(int id) = 0;
  // Types `text` into cell (row, column) of a grid and ends the edit; an empty text in the "ID"
  // and "Name" cells clears them.
  virtual bool EditCell(int id, int row, int column, const std::string& text) = 0;
  virtual bool DeleteRow(int id, int row) = 0;

  // Closed, and with which button (1 OK, 2 Cancel).
  virtual bool Closed() const = 0;
  virtual int Result() const = 0;
};

// Types `text` into a field character by character (after emptying it); returns the number of
// characters the field refused.
int TypeText(DialogModel& model, int id, const std::string& text);

// A front end: shows the model and drives it until it has closed; returns the result.
using DialogHandler = std::function<int(DialogModel&)>;
// Installs a front end (an empty one restores the default); returns the previous one.
DialogHandler SetDialogHandler(DialogHandler handler);
// Shows a dialog and returns when it has closed: 1 OK, 2 Cancel.
int RunDialog(DialogModel& model);

// Writes the dialog as shown: title, then one line per control (id, kind, label, value, state).
std::string DescribeDialog(const DialogModel& model);

}  // namespace platform
