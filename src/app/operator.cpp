#include "app/operator.h"

namespace kor {

namespace {
NullOperator g_null;
Operator* g_op = &g_null;
}  // namespace

Operator& op() { return *g_op; }

void set_operator(Operator* o) { g_op = o ? o : &g_null; }

void ShowMessage(const char* text, Icon icon) { g_op->Message(text, app().appName, icon, nullptr); }

void StopScope::Clear() {
  AppState& a = app();
  if (!a.stopRequested) return;
  a.stopRequested = false;
  g_op->Stop(StopButton::ResetText);
}

}  // namespace kor
