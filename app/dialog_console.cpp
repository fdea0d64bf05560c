#include "app/dialog_console.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/msgbox.h"
#include "platform/text.h"

namespace app {

namespace {

struct Installed {
  bool active = false;
  DialogAnswers answers;
  std::ostream* trace = nullptr;
  DialogProblems problems;
  platform::DialogHandler previousDialog;
  platform::MessageBoxHandler previousBox;
};

Installed& State() {
  static Installed state;
  return state;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// A caption as answers name it: no "&", no trailing ":", no surrounding blanks, lower case.
std::string LabelKey(const std::string& label) {
  std::string s;
  for (char c : label)
    if (c != '&') s += c;
  s = Trim(s);
  while (!s.empty() && s.back() == ':') s.pop_back();
  return platform::FoldCase(Trim(s));
}

std::string LastLevel(const std::string& name) {
  size_t at = name.rfind(" - ");
  return at == std::string::npos ? name : name.substr(at + 3);
}

std::string NumberText(double v) {
  char buf[64];
  if (v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

// A decimal number without leading zeros before the point and trailing zeros after it; empty when
// the text is not a plain decimal number.
std::string PlainNumber(const std::string& text) {
  size_t i = 0;
  std::string sign;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') sign = "-";
    ++i;
  }
  std::string whole, frac;
  bool point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.' && !point)
      point = true;
    else if (c >= '0' && c <= '9')
      (point ? frac : whole) += c;
    else
      return {};
  }
  if (whole.empty() && frac.empty()) return {};
  while (!whole.empty() && whole[0] == '0') whole.erase(0, 1);
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  if (whole.empty() && frac.empty()) return "0";
  return sign + whole + (frac.empty() ? "" : "." + frac);
}

const platform::DialogControl* FindControl(const std::vector<platform::DialogControl>& controls,
                                           const std::string& label) {
  std::string key = LabelKey(label);
  const platform::DialogControl* found = nullptr;
  for (const platform::DialogControl& c : controls) {
    if (!c.visible || c.kind == platform::ControlKind::Static || LabelKey(c.label) != key) continue;
    if (c.enabled) return &c;
    if (!found) found = &c;
  }
  return found;
}

const platform::DialogControl* FindId(const std::vector<platform::DialogControl>& controls, int id) {
  for (const platform::DialogControl& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

std::optional<bool> YesNo(const std::string& value) {
  std::string v = platform::FoldCase(Trim(value));
  if (v == "yes" || v == "y" || v == "true" || v == "on" || v == "1") return true;
  if (v == "no" || v == "n" || v == "false" || v == "off" || v == "0") return false;
  return std::nullopt;
}

// The entry a name stands for: the text itself, or the last " - " level when only one entry ends so.
int FindEntry(const std::vector<std::string>& items, const std::string& name, std::string& why) {
  std::string want = Trim(name);
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == want) return static_cast<int>(i);
  std::vector<int> hits;
  for (size_t i = 0; i < items.size(); ++i)
    if (platform::FoldCase(items[i]) == platform::FoldCase(want)) hits.push_back(static_cast<int>(i));
  if (hits.size() == 1) return hits[0];
  if (hits.empty())
    for (size_t i = 0; i < items.size(); ++i)
      if (platform::FoldCase(LastLevel(items[i])) == platform::FoldCase(want)) hits.push_back(static_cast<int>(i));
  if (hits.size() == 1) return hits[0];
  if (hits.size() > 1) {
    why = "\"" + want + "\" is ambiguous:";
    for (int h : hits) why += " \"" + items[h] + "\"";
  } else {
    why = "\"" + want + "\" is not offered";
  }
  return -1;
}

int HypothesisIndex(const std::string& value) {
  std::string v = platform::FoldCase(Trim(value));
  if (v == "not equal" || v == "\u2260" || v == "!=" || v == "<>" || v == "two-sided") return 0;
  if (v == "less than" || v == "\u2264" || v == "<" || v == "<=" || v == "less") return 1;
  if (v == "greater than" || v == "\u2265" || v == ">" || v == ">=" || v == "greater") return 2;
  return -1;
}

bool IsHypothesis(const platform::DialogControl& c) {
  return c.kind == platform::ControlKind::DropDown && c.items.size() == 3 &&
         c.items[0].find("\u2260") != std::string::npos;
}

void Refuse(DialogProblems& problems, const std::string& label, const std::string& why) {
  problems.refused.push_back(label + ": " + why);
}

// The rule a negative number breaks in the fields that take no sign (their keystroke filter drops
// the "-"), by label; other fields take any sign.
struct SignRule {
  const char* label;
  const char* rule;
};
constexpr SignRule kSignRules[] = {
    {"confidence interval", "must be greater than 50 and less than 100"},
    {"reference interval", "must be greater than 0 and less than 100"},
    {"coverage", "must be greater than 0 and less than 100"},
    {"population sd", "must be greater than zero"},
    {"hypothesised proportion", "must be greater than 0 and less than 1"},
    {"prevalence", "must be greater than 0 and less than 1"},
    {"polynomial order", "must be greater than zero"},
    {"preliminary sd", "must be greater than zero"},
    {"within-run sd", "must be greater than zero"},
    {"total sd", "must be greater than zero"},
};

void SetCheck(platform::DialogModel& model, const platform::DialogControl& c, bool on) {
  if ((c.value == "1") != on) model.Click(c.id);
}

// One LABEL=VALUE answer, through the events a person would cause on that control.
void Answer(platform::DialogModel& model, const std::string& label, const std::string& value,
            DialogProblems& problems) {
  std::vector<platform::DialogControl> controls = model.Controls();
  const platform::DialogControl* c = FindControl(controls, label);
  if (!c) {
    problems.unmatched.push_back(label);
    return;
  }
  if (!c->enabled) {
    Refuse(problems, label, "the control is not available");
    return;
  }
  std::string why;
  switch (c->kind) {
    case platform::ControlKind::Field: {
      // A number is judged as a whole before a key is pressed: the field's keystroke filter would
      // make "-1" into "1" and "abc" into nothing.
      std::string problem = FieldValueProblem(label, value);
      if (!problem.empty()) {
        problems.refused.push_back(label + "=" + Trim(value) + ": " + problem);
        return;
      }
      int refused = platform::TypeText(model, c->id, Trim(value));
      // The same number written without the zeros a field may not take ("0.5" in a field with no
      // digits before the point is typed ".5"; "95.50" in a field with one decimal "95.5").
      std::string plain = PlainNumber(Trim(value));
      if (refused && !plain.empty() && plain != Trim(value)) refused = platform::TypeText(model, c->id, plain);
      if (refused) {
        // The typing may have rebuilt the dialog: look the field up in a list that outlives the look-up.
        std::vector<platform::DialogControl> after = model.Controls();
        const platform::DialogControl* now = FindId(after, c->id);
        Refuse(
            problems, label,
            "\"" + value + "\" cannot be typed here (the field took \"" + (now ? now->value : std::string()) + "\")");
      }
      return;
    }
    case platform::ControlKind::CheckBox:
    case platform::ControlKind::Radio: {
      std::optional<bool> on = YesNo(value);
      if (!on) return Refuse(problems, label, "answer yes or no");
      if (c->kind == platform::ControlKind::Radio && !*on) return;
      SetCheck(model, *c, *on);
      return;
    }
    case platform::ControlKind::DropDown: {
      int index = -1;
      if (IsHypothesis(*c)) {
        index = HypothesisIndex(value);
        if (index < 0) return Refuse(problems, label, "answer \"not equal\", \"less than\" or \"greater than\"");
      } else {
        index = FindEntry(c->items, value, why);
        if (index < 0) {
          std::string alt;
          if (FindEntry(c->items, Trim(value) + "%", alt) >= 0) index = FindEntry(c->items, Trim(value) + "%", alt);
        }
        if (index < 0) return Refuse(problems, label, why);
      }
      if (!model.Choose(c->id, index)) Refuse(problems, label, "\"" + value + "\" was not taken");
      return;
    }
    case platform::ControlKind::List: {
      std::vector<int> indexes;
      size_t start = 0;
      while (start <= value.size()) {
        size_t comma = value.find(',', start);
        std::string part = Trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!part.empty()) {
          int index = FindEntry(c->items, part, why);
          if (index < 0) return Refuse(problems, label, why);
          if (std::find(indexes.begin(), indexes.end(), index) == indexes.end()) indexes.push_back(index);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      bool ok =
          c->multiple ? model.SelectItems(c->id, indexes) : indexes.size() == 1 && model.Choose(c->id, indexes[0]);
      if (!ok) Refuse(problems, label, "\"" + value + "\" cannot be selected here");
      return;
    }
    default: Refuse(problems, label, "this control is not answered from the command line");
  }
}

void AnswerDataset(platform::DialogModel& model, const DialogAnswers& a, DialogProblems& problems) {
  enum { kName = 1013, kLayout = 20, kRepeat = 1114, kFactors = 1115, kIdLabel = 1108, kAutoFormat = 1077 };
  if (a.name && platform::TypeText(model, kName, *a.name))
    Refuse(problems, "--name", "\"" + *a.name + "\" is longer than a dataset name may be");
  if (a.layout) {
    std::vector<platform::DialogControl> controls = model.Controls();
    const platform::DialogControl* c = FindId(controls, kLayout);
    int index = -1;
    for (size_t i = 0; c && i < c->items.size(); ++i)
      if (platform::FoldCase(c->items[i]).rfind(platform::FoldCase(Trim(*a.layout)), 0) == 0)
        index = static_cast<int>(i);
    if (index < 0 || !model.Choose(kLayout, index))
      Refuse(problems, "--layout", "\"" + *a.layout + "\" is not a layout");
  }
  std::vector<platform::DialogControl> controls = model.Controls();
  auto box = [&](int id, bool on, bool given, const char* option) {
    const platform::DialogControl* c = FindId(controls, id);
    if (!given) return;
    if (!c || !c->visible || !c->enabled) {
      if (on) Refuse(problems, option, "does not apply to this layout");
      return;
    }
    SetCheck(model, *c, on);
  };
  // Without a layout the detected one is confirmed; the options given on their own are applied.
  box(kRepeat, a.repeatMeasures, a.layout.has_value() || a.repeatMeasures, "--repeat-measures");
  box(kIdLabel, a.idLabel, a.layout.has_value() || a.idLabel, "--id-label");
  if (a.factors) {
    const platform::DialogControl* c = FindId(controls, kFactors);
    if (!c || !c->visible)
      Refuse(problems, "--factors", "applies to tabular and contingency layouts only");
    else if (*a.factors < 1 || *a.factors > 2 || platform::TypeText(model, kFactors, std::to_string(*a.factors)))
      Refuse(problems, "--factors", "must be 1 or 2");
  }
  controls = model.Controls();
  if (const platform::DialogControl* c = FindId(controls, kAutoFormat)) SetCheck(model, *c, a.autoformat);
}

void AnswerVariable(platform::DialogModel& model, const DialogAnswers& a, DialogProblems& problems) {
  if (a.type) {
    std::vector<platform::DialogControl> controls = model.Controls();
    const platform::DialogControl* radio = nullptr;
    for (const platform::DialogControl& c : controls)
      if (c.kind == platform::ControlKind::Radio && LabelKey(c.label) == platform::FoldCase(Trim(*a.type))) radio = &c;
    if (!radio)
      Refuse(problems, "--type", "\"" + *a.type + "\" is not a measurement scale");
    else if (radio->value != "1")
      model.Click(radio->id);
  }
  for (const auto& [category, value] : a.categoryValues) {
    std::vector<platform::DialogControl> controls = model.Controls();
    const platform::DialogControl* grid = nullptr;
    for (const platform::DialogControl& c : controls)
      if (c.kind == platform::ControlKind::Grid && c.visible) grid = &c;
    if (!grid) {
      Refuse(problems, "--value", "category values belong to nominal and ordinal variables");
      return;
    }
    int row = -1;
    for (size_t r = 0; r < grid->items.size(); ++r) {
      const std::string& item = grid->items[r];
      size_t tab = item.find('\t');
      if (tab != std::string::npos && item.substr(tab + 1) == category) row = static_cast<int>(r);
    }
    if (row < 0) {
      Refuse(problems, "--value", "the variable has no category \"" + category + "\"");
      continue;
    }
    if (!model.EditCell(grid->id, row, 0, NumberText(value)))
      Refuse(problems, "--value", "\"" + category + "=" + NumberText(value) + "\" was refused");
  }
}

int AnswerMessageBox(const std::string& caption, const std::string& text, unsigned style, unsigned helpId) {
  Installed& s = State();
  if (s.trace && s.answers.trace) *s.trace << "message box: " << text << "\n";
  // A question the command's own options answer (the new-dataset prompt, confirmed) is no news to
  // the user: shown only when asked for.
  if ((style & platform::MB_TYPEMASK) != platform::MB_OK && !s.answers.trace && !s.answers.verbose)
    return platform::DefaultAnswer(style);
  if (s.previousBox) return s.previousBox(caption, text, style, helpId);
  std::cerr << caption << ": " << text << std::endl;
  return platform::DefaultAnswer(style);
}

// The remembered answers the dialog keeps because no answer names them: "LABEL=VALUE".
void NoteRemembered(const platform::DialogModel& model, const DialogAnswers& answers, DialogProblems& problems) {
  std::vector<platform::DialogControl> controls = model.Controls();
  for (const std::string& label : answers.remembered) {
    bool given = false;
    for (const auto& answer : answers.set) given |= LabelKey(answer.first) == LabelKey(label);
    const platform::DialogControl* c = FindControl(controls, label);
    if (given || !c) continue;
    std::string value = c->value;
    if (c->kind == platform::ControlKind::CheckBox) value = value == "1" ? "yes" : "no";
    problems.remembered.push_back(label + "=" + value);
  }
}

}  // namespace

std::string FieldValueProblem(const std::string& label, const std::string& value) {
  std::string text = Trim(value);
  if (text.empty()) return {};  // an empty field: the dialog's own check
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || std::isnan(v)) return "not a number";
  if (errno == ERANGE && std::fabs(v) > 1) return "out of range";
  if (std::isinf(v)) return "out of range";
  if (v < 0)
    for (const SignRule& r : kSignRules)
      if (LabelKey(label) == r.label) return r.rule;
  return {};
}

int AnswerDialog(platform::DialogModel& model, const DialogAnswers& answers, std::ostream* trace,
                 DialogProblems& problems) {
  if (trace) *trace << platform::DescribeDialog(model);
  std::string name = model.Name();
  if (name == "run-test") {
    NoteRemembered(model, answers, problems);
    // An item may appear only once another answer calls for it (the error protection after the
    // contrasts): answers whose item is not there yet are tried again after the others, for as
    // long as any of them finds its item, whatever the order they were given in.
    std::vector<std::pair<std::string, std::string>> pending = answers.set;
    while (!pending.empty()) {
      std::vector<std::pair<std::string, std::string>> later;
      for (const auto& [label, value] : pending) {
        DialogProblems one;
        Answer(model, label, value, one);
        if (!one.unmatched.empty()) later.emplace_back(label, value);
        problems.refused.insert(problems.refused.end(), one.refused.begin(), one.refused.end());
      }
      if (later.size() == pending.size()) {
        for (const auto& answer : later) problems.unmatched.push_back(answer.first);
        break;
      }
      pending = std::move(later);
    }
  } else if (name == "dataset") {
    AnswerDataset(model, answers, problems);
  } else if (name == "variable") {
    AnswerVariable(model, answers, problems);
  }
  if (trace) *trace << "answered:\n" << platform::DescribeDialog(model);
  // An answer meant for a control this dialog does not have is a mistake of the caller's: the
  // dialog is cancelled, so that nothing runs and no value is remembered from it.
  if (name == "run-test" && !problems.unmatched.empty()) {
    if (trace) *trace << "unmatched answer; cancelled\n";
    model.Click(2);
    return model.Result();
  }
  if (name == "run-test" &&
      ((answers.cancelRefused && !problems.refused.empty()) || (answers.cancelUnanswered && answers.set.empty()))) {
    if (trace) *trace << (answers.set.empty() ? "no answer given; cancelled\n" : "answer refused; cancelled\n");
    model.Click(2);
    return model.Result();
  }
  model.Click(1);
  if (!model.Closed()) {
    ++problems.failedOK;
    if (trace) *trace << "OK refused; cancelled\n";
    model.Click(2);
  }
  return model.Result();
}

void InstallConsoleDialogs(const DialogAnswers& answers, std::ostream& trace) {
  Installed& s = State();
  if (s.active) RemoveConsoleDialogs();
  s.active = true;
  s.answers = answers;
  s.trace = &trace;
  s.problems = DialogProblems{};
  s.previousDialog = platform::SetDialogHandler([](platform::DialogModel& model) {
    Installed& st = State();
    return AnswerDialog(model, st.answers, st.answers.trace ? st.trace : nullptr, st.problems);
  });
  s.previousBox = platform::SetMessageBoxHandler(&AnswerMessageBox);
}

void RemoveConsoleDialogs() {
  Installed& s = State();
  if (!s.active) return;
  platform::SetDialogHandler(std::move(s.previousDialog));
  platform::SetMessageBoxHandler(std::move(s.previousBox));
  s.previousDialog = nullptr;
  s.previousBox = nullptr;
  s.active = false;
}

const DialogProblems& ConsoleDialogProblems() { return State().problems; }

}  // namespace app
