#include "app/app_state.h"

namespace kor {

namespace {
AppState g_app;
}

AppState& app() { return g_app; }

void reset_app_state() { g_app = AppState{}; }

}  // namespace kor
