#include "app/version.h"

#include <cstdio>

#include "app/app_state.h"
#include "korsync_version.h"

namespace kor {

int version_major() { return KORSYNC_VERSION_MAJOR; }
int version_minor() { return KORSYNC_VERSION_MINOR; }
int version_build() { return KORSYNC_VERSION_PATCH; }
const char* version_string() { return KORSYNC_VERSION_STRING; }

std::string version_text() {
  char text[70];
  std::snprintf(text, sizeof text, "KorSync, версия %d.%d.%03d", version_major(), version_minor(), version_build());
  return text;
}

std::string build_text() {
  // __DATE__ already pads a day below 10 with a space.
  char build[64];
  std::snprintf(build, sizeof build, "Сборка: %s %s gcc", __DATE__, __TIME__);
  return build;
}

std::string version_report(const char* program) {
  return std::string(program) + " " + version_string() + "\n" + version_text() + "\n" + build_text() + "\n";
}

void init_program_version() {
  AppState& a = app();
  a.versionMajor = version_major();
  a.versionMinor = version_minor();
  a.versionBuild = version_build();
  std::snprintf(a.versionText, sizeof a.versionText, "%s", version_text().c_str());
}

}  // namespace kor
