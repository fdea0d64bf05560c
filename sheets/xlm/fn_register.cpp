// REGISTER, names of registered functions (SET.NAME with one argument) and EVALUATE of macro
// calls. Other uses of SET.NAME and EVALUATE belong to the workbook (fn_documents.cpp).
#include "sheets/xlm/functions.h"

namespace xlm {

int DocumentSetName(Call& c);   // fn_documents.cpp
int DocumentEvaluate(Call& c);  // fn_documents.cpp

namespace {

// REGISTER(module, procedure, type, function text, argument text, macro type, category,
// shortcut, help topic, function help, argument help...): gives the register id.
int Register(Call& c) {
  std::optional<std::string> module = Text(c.Arg(0));
  std::optional<std::string> procedure = Text(c.Arg(1));
  std::optional<std::string> type = Text(c.Arg(2));
  if (!module || !procedure || !type) return c.Refuse();
  AddIn* addin = c.host.FindAddIn(*module);
  if (!addin) addin = c.host.Caller();
  std::string functionText = Text(c.Arg(3)).value_or(std::string());
  int macroType = static_cast<int>(Number(c.Arg(5)).value_or(functionText.empty() ? 0 : 1));
  std::string error;
  double id = c.host.Register(addin, *procedure, *type, functionText, macroType, error);
  if (id == 0) {
    c.host.report(error);
    return c.Refuse();
  }
  SetNumber(c.result, id);
  return XLRET_SUCCESS;
}

// SET.NAME(name): deletes a name. The names of registered functions are the host's own.
int SetName(Call& c) {
  std::optional<std::string> name = Text(c.Arg(0));
  if (!name) return c.Refuse();
  if (c.args.size() <= 1 || !c.Has(1)) {
    if (c.host.DeleteName(*name)) return c.Done();
  }
  return DocumentSetName(c);
}

// EVALUATE(text): a call of a registered function runs it; anything else is a formula of the
// active workbook.
int Evaluate(Call& c) {
  std::optional<std::string> text = Text(c.Arg(0));
  if (!text) return c.Fail();
  std::string body = *text;
  if (!body.empty() && body[0] == '=') body.erase(0, 1);
  std::size_t paren = body.find('(');
  if (paren != std::string::npos && c.host.FindRegistered(body.substr(0, paren))) {
    std::string error;
    if (!c.host.Evaluate(body, c.result, error)) return c.Fail();
    return XLRET_SUCCESS;
  }
  return DocumentEvaluate(c);
}

}  // namespace

void AddRegisterFunctions(FunctionTable& t) {
  t[XLF_REGISTER] = Register;
  t[XLF_SET_NAME] = SetName;
  t[XLF_EVALUATE] = Evaluate;
}

}  // namespace xlm
