#include "app/app_state.h"

namespace kor {

namespace {
AppState g_app;
}

AppState& app() { return g_app; }

void reset_app_state() { g_app = AppState{}; }

}  // namespace kor

#include <cstdio>

#include "app/version.h"

namespace kor {

void init_program_version() {
  AppState& a = app();
  a.versionMajor = kVersionMajor;
  a.versionMinor = kVersionMinor;
  a.versionBuild = kVersionBuild;
  std::snprintf(a.versionText, sizeof a.versionText, "KorSync, версия %d.%d.%03d", a.versionMajor, a.versionMinor,
                a.versionBuild);
}

}  // namespace kor
