#include "platform/msgbox.h"

#include <cstdio>

namespace platform {

namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::swap(Handler(), handler);
  return handler;
}

int DefaultAnswer(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}

int MessageBox(const std::string& caption, const std::string& text, unsigned style, unsigned helpId) {
  if (MessageBoxHandler h = Handler()) return h(caption, text, style, helpId);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return DefaultAnswer(style);
}

}  // namespace platform
