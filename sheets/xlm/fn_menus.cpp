// Menu bars, menus, commands and toolbars: ADD.MENU, ADD.COMMAND, ENABLE.COMMAND, DELETE.MENU,
// DELETE.COMMAND, GET.BAR, SHOW.TOOLBAR, GET.TOOLBAR, ENABLE.TOOL, DELETE.TOOLBAR.
//
// Menus and commands are named by their text or by their 1-based position. A text matches with
// or without its '&' markers and without regard to case, as a person would type it.
#include <cmath>

#include "platform/fileutil.h"
#include "sheets/xlm/functions.h"

namespace xlm {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a == b || platform::EqualNoCase(StripAmpersands(a), StripAmpersands(b));
}

// Index of a node in `list` named by a value (text or 1-based position); -1 if none.
long IndexOf(const std::vector<MenuNode>& list, const XLOPER* name, bool popupsOnly = false) {
  if (std::optional<std::string> t = Text(name)) {
    for (std::size_t i = 0; i < list.size(); ++i)
      if ((!popupsOnly || list[i].popup) && !list[i].IsSeparator() && SameName(list[i].text, *t))
        return static_cast<long>(i);
    return -1;
  }
  if (std::optional<double> n = Number(name)) {
    long i = static_cast<long>(*n) - 1;
    if (i >= 0 && i < static_cast<long>(list.size()) && (!popupsOnly || list[i].popup)) return i;
  }
  return -1;
}

// Insertion index for a position argument: a number (1-based, before that place), a text (before
// the item of that name), missing (at the end).
std::optional<std::size_t> InsertAt(const std::vector<MenuNode>& list, const XLOPER* position) {
  if (IsMissing(position)) return list.size();
  if (Text(position)) {
    long i = IndexOf(list, position);
    if (i < 0) return std::nullopt;
    return static_cast<std::size_t>(i);
  }
  if (std::optional<double> n = Number(position)) {
    long i = static_cast<long>(*n) - 1;
    if (i < 0) i = 0;
    if (i > static_cast<long>(list.size())) i = static_cast<long>(list.size());
    return static_cast<std::size_t>(i);
  }
  return std::nullopt;
}

MenuBar* BarOf(Call& c, std::size_t arg) {
  std::optional<double> id = Number(c.Arg(arg));
  if (!id) return c.host.FindBar(c.host.ActiveBarId());
  return c.host.FindBar(static_cast<int>(*id));
}

// Command rows of a table: name, macro, shortcut, status text, help reference.
std::vector<MenuNode> CommandRows(const Table& t, int firstRow) {
  std::vector<MenuNode> rows;
  for (int r = firstRow; r < t.rows; ++r) {
    MenuNode n;
    n.text = Display(t.At(r, 0));
    n.macro = Display(t.At(r, 1));
    n.status = Display(t.At(r, 3));
    n.help = Display(t.At(r, 4));
    rows.push_back(n);
  }
  return rows;
}

// The menu (and, if named, the submenu in it) that two arguments designate. The menu comes
// first; should the caller give them the other way round, the pair that exists is taken.
MenuNode* Resolve(MenuBar& bar, const XLOPER* menuArg, const XLOPER* subArg) {
  auto find = [&](const XLOPER* m, const XLOPER* s) -> MenuNode* {
    long mi = IndexOf(bar.menus, m, true);
    if (mi < 0) return nullptr;
    MenuNode* menu = &bar.menus[static_cast<std::size_t>(mi)];
    if (IsMissing(s)) return menu;
    long si = IndexOf(menu->children, s, true);
    return si < 0 ? nullptr : &menu->children[static_cast<std::size_t>(si)];
  };
  if (MenuNode* n = find(menuArg, subArg)) return n;
  if (!IsMissing(subArg)) return find(subArg, menuArg);
  return nullptr;
}

// ADD.MENU(bar, table, position, menu): a new menu on a bar, or, when `menu` is given, a new
// submenu inside that menu. The table's first row names it; further rows are its commands.
// Gives the position of the new menu.
int AddMenu(Call& c) {
  MenuBar* bar = BarOf(c, 0);
  Table t = TableOf(c.Arg(1));
  if (!bar || t.rows < 1) return c.Refuse();
  MenuNode node;
  node.text = Display(t.At(0, 0));
  node.popup = true;
  node.children = CommandRows(t, 1);
  if (node.text.empty()) return c.Refuse();
  const XLOPER* position = c.Arg(2);
  const XLOPER* parentArg = c.Arg(3);
  std::vector<MenuNode>* list = &bar->menus;
  if (!IsMissing(parentArg)) {
    long pi = IndexOf(bar->menus, parentArg, true);
    if (pi < 0 && Text(position) && IndexOf(bar->menus, position, true) >= 0) {
      std::swap(position, parentArg);  // (bar, table, menu, position)
      pi = IndexOf(bar->menus, parentArg, true);
    }
    if (pi < 0) return c.Refuse();
    list = &bar->menus[static_cast<std::size_t>(pi)].children;
  }
  for (std::size_t i = 0; i < list->size(); ++i)
    if ((*list)[i].popup && SameName((*list)[i].text, node.text)) {
      // Adding a menu that exists adds its commands to it.
      for (MenuNode& n : node.children) (*list)[i].children.push_back(n);
      SetNumber(c.result, static_cast<double>(i + 1));
      return XLRET_SUCCESS;
    }
  std::optional<std::size_t> at = InsertAt(*list, position);
  if (!at) return c.Refuse();
  list->insert(list->begin() + static_cast<std::ptrdiff_t>(*at), node);
  SetNumber(c.result, static_cast<double>(*at + 1));
  return XLRET_SUCCESS;
}

// ADD.COMMAND(bar, menu, table, position, submenu): commands (one per table row) into a menu,
// or into a submenu of it. Gives the position of the first command added.
int AddCommand(Call& c) {
  MenuBar* bar = BarOf(c, 0);
  if (!bar) return c.Refuse();
  const XLOPER* position = c.Arg(3);
  const XLOPER* subArg = c.Arg(4);
  MenuNode* target = Resolve(*bar, c.Arg(1), subArg);
  if (!target && !IsMissing(subArg) && Text(position)) {
    std::swap(position, subArg);  // (bar, menu, table, submenu, position)
    target = Resolve(*bar, c.Arg(1), subArg);
  }
  if (!target) return c.Refuse();
  std::vector<MenuNode> rows = CommandRows(TableOf(c.Arg(2)), 0);
  if (rows.empty()) return c.Refuse();
  std::optional<std::size_t> at = InsertAt(target->children, position);
  if (!at) return c.Refuse();
  target->children.insert(target->children.begin() + static_cast<std::ptrdiff_t>(*at), rows.begin(), rows.end());
  SetNumber(c.result, static_cast<double>(*at + 1));
  return XLRET_SUCCESS;
}

// The command named by `command` in the menu or submenu (menu, sub); tries both orders of the
// submenu and command arguments, as for Resolve.
MenuNode* CommandOf(MenuBar& bar, const XLOPER* menu, const XLOPER* command, const XLOPER* sub,
                    std::vector<MenuNode>** owner) {
  auto look = [&](const XLOPER* s, const XLOPER* cmd) -> MenuNode* {
    MenuNode* m = Resolve(bar, menu, s);
    if (!m) return nullptr;
    long i = IndexOf(m->children, cmd);
    if (i < 0) return nullptr;
    if (owner) *owner = &m->children;
    return &m->children[static_cast<std::size_t>(i)];
  };
  if (MenuNode* n = look(sub, command)) return n;
  if (!IsMissing(sub)) return look(command, sub);
  return nullptr;
}

// ENABLE.COMMAND(bar, menu, command, enable, submenu). Command 0 is the menu itself.
int EnableCommand(Call& c) {
  MenuBar* bar = BarOf(c, 0);
  std::optional<bool> on = Bool(c.Arg(3));
  if (!bar || !on) return c.Refuse();
  if (Number(c.Arg(2)) == 0.0) {
    MenuNode* m = Resolve(*bar, c.Arg(1), c.Arg(4));
    if (!m) return c.Refuse();
    m->enabled = *on;
    return c.Done();
  }
  MenuNode* n = CommandOf(*bar, c.Arg(1), c.Arg(2), c.Arg(4), nullptr);
  if (!n) return c.Refuse();
  n->enabled = *on;
  return c.Done();
}

// DELETE.COMMAND(bar, menu, command, submenu).
int DeleteCommand(Call& c) {
  MenuBar* bar = BarOf(c, 0);
  if (!bar) return c.Refuse();
  std::vector<MenuNode>* owner = nullptr;
  MenuNode* n = CommandOf(*bar, c.Arg(1), c.Arg(2), c.Arg(3), &owner);
  if (!n || n->popup) return c.Refuse();
  owner->erase(owner->begin() + (n - owner->data()));
  return c.Done();
}

// DELETE.MENU(bar, menu, submenu): removes a menu, or a submenu of it.
int DeleteMenu(Call& c) {
  MenuBar* bar = BarOf(c, 0);
  if (!bar) return c.Refuse();
  if (!c.Has(2)) {
    long i = IndexOf(bar->menus, c.Arg(1), true);
    if (i < 0) return c.Refuse();
    bar->menus.erase(bar->menus.begin() + i);
    return c.Done();
  }
  for (int order = 0; order < 2; ++order) {
    const XLOPER* menuArg = order ? c.Arg(2) : c.Arg(1);
    const XLOPER* subArg = order ? c.Arg(1) : c.Arg(2);
    long mi = IndexOf(bar->menus, menuArg, true);
    if (mi < 0) continue;
    std::vector<MenuNode>& kids = bar->menus[static_cast<std::size_t>(mi)].children;
    long si = IndexOf(kids, subArg, true);
    if (si < 0) continue;
    kids.erase(kids.begin() + si);
    return c.Done();
  }
  return c.Refuse();
}

// GET.BAR(): the shown bar's number. GET.BAR(bar, menu, command): the name of a command (a
// number) or its position (a text); command 0 gives the menu's name. #N/A when nothing is there.
int GetBar(Call& c) {
  if (!c.Has(0)) {
    SetNumber(c.result, c.host.ActiveBarId());
    return XLRET_SUCCESS;
  }
  MenuBar* bar = BarOf(c, 0);
  if (!bar) return c.Fail(XLERR_VALUE);
  long mi = IndexOf(bar->menus, c.Arg(1), true);
  if (mi < 0) return c.Fail(XLERR_NA);
  MenuNode& menu = bar->menus[static_cast<std::size_t>(mi)];
  const XLOPER* command = c.Arg(2);
  if (IsMissing(command) || Number(command) == 0.0) {
    SetText(c.result, menu.text);  // the menu's name, as the bar shows it
    return XLRET_SUCCESS;
  }
  long ci = IndexOf(menu.children, command);
  if (ci < 0) return c.Fail(XLERR_NA);
  if (Text(command))
    SetNumber(c.result, static_cast<double>(ci + 1));
  else
    SetText(c.result, menu.children[static_cast<std::size_t>(ci)].text);
  return XLRET_SUCCESS;
}

Toolbar* ToolbarOf(Call& c, std::size_t arg) {
  std::optional<std::string> name = Text(c.Arg(arg));
  return name ? c.host.FindToolbar(*name) : nullptr;
}

// SHOW.TOOLBAR(name, visible, dock, x, y, width): shows or hides a toolbar and places it.
int ShowToolbar(Call& c) {
  Toolbar* t = ToolbarOf(c, 0);
  if (!t) return c.Refuse();
  if (c.Has(1)) t->visible = Bool(c.Arg(1)).value_or(t->visible);
  if (std::optional<double> d = Number(c.Arg(2))) t->dock = static_cast<int>(*d);
  if (std::optional<double> x = Number(c.Arg(3))) t->x = *x;
  if (std::optional<double> y = Number(c.Arg(4))) t->y = *y;
  if (std::optional<double> w = Number(c.Arg(5))) t->width = *w;
  return c.Done();
}

// GET.TOOLBAR(type, name): 1 buttons' ids, 2 top, 3 left, 4 width, 6 dock, 7 visible, 8 number
// of buttons; #VALUE! when there is no such toolbar.
int GetToolbar(Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  Toolbar* t = ToolbarOf(c, 1);
  if (!type || !t) return c.Fail(XLERR_VALUE);
  switch (static_cast<int>(*type)) {
    case 2: SetNumber(c.result, t->y); break;
    case 3: SetNumber(c.result, t->x); break;
    case 4: SetNumber(c.result, t->width); break;
    case 6: SetNumber(c.result, t->dock); break;
    case 7: SetBool(c.result, t->visible); break;
    case 8: SetNumber(c.result, static_cast<double>(t->buttons.size())); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

// ENABLE.TOOL(name, position, enable).
int EnableTool(Call& c) {
  Toolbar* t = ToolbarOf(c, 0);
  std::optional<double> position = Number(c.Arg(1));
  std::optional<bool> on = Bool(c.Arg(2));
  if (!t || !position || !on) return c.Refuse();
  long i = static_cast<long>(*position) - 1;
  if (i < 0 || i >= static_cast<long>(t->buttons.size()) || t->buttons[static_cast<std::size_t>(i)].separator)
    return c.Refuse();
  t->buttons[static_cast<std::size_t>(i)].enabled = *on;
  return c.Done();
}

// DELETE.TOOLBAR(name): only toolbars that are not the application's own.
int DeleteToolbar(Call& c) {
  Toolbar* t = ToolbarOf(c, 0);
  if (!t || t->builtin) return c.Refuse();
  auto& all = c.host.Toolbars();
  all.erase(all.begin() + (t - all.data()));
  return c.Done();
}

}  // namespace

void AddMenuFunctions(FunctionTable& t) {
  t[XLF_ADD_MENU] = AddMenu;
  t[XLF_ADD_COMMAND] = AddCommand;
  t[XLF_ENABLE_COMMAND] = EnableCommand;
  t[XLF_DELETE_MENU] = DeleteMenu;
  t[XLF_DELETE_COMMAND] = DeleteCommand;
  t[XLF_GET_BAR] = GetBar;
  t[XLC_SHOW_TOOLBAR] = ShowToolbar;
  t[XLF_GET_TOOLBAR] = GetToolbar;
  t[XLF_ENABLE_TOOL] = EnableTool;
  t[XLF_DELETE_TOOLBAR] = DeleteToolbar;
}

}  // namespace xlm
