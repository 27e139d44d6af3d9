#include "unit/unit_backup.h"

#include <cstdio>
#include <filesystem>

#include "app/app_state.h"
#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "app/version.h"
#include "protocol/clock.h"
#include "unit/sha256.h"

namespace kor {

namespace fs = std::filesystem;

namespace {

// A manifest value on one line, whatever the unit sent.
std::string one_line(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return out;
}

std::string port_text() {
  const AppState& a = app();
  if (a.portPath[0]) return a.portPath;
  return "COM" + std::to_string(a.comPort);
}

}  // namespace

std::string default_backup_folder() {
  const LocalDateTime t = local_now();
  char name[64];
  std::snprintf(name, sizeof name, "unit_%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  const fs::path base = fs::path(app().dataFolder) / kBackupFolder;
  std::error_code ec;
  fs::path p = base / name;
  for (int n = 1; n <= 255 && fs::exists(p, ec); ++n) p = base / (std::string(name) + "(" + std::to_string(n) + ")");
  return p.string();
}

bool BackupUnit(const std::string& folder, BackupSummary& out, const ItemDone& done) {
  out = BackupSummary{};
  const uint64_t start = timing().NowUs();
  std::error_code ec;
  const fs::path dir = fs::absolute(folder.empty() ? default_backup_folder() : folder, ec);
  out.folder = dir.string();
  if (fs::exists(dir, ec)) {
    ShowMessage(("Папка уже существует: " + out.folder).c_str(), Icon::Error);
    return false;
  }
  fs::create_directories(dir.parent_path(), ec);
  if (!fs::create_directory(dir, ec)) {
    ShowMessage(("Не удалось создать папку " + out.folder).c_str(), Icon::Error);
    return false;
  }

  std::vector<std::pair<std::string, std::string>> sums;
  bool written = true;
  // Each item goes to disk as soon as it is read: a run cut short keeps what it had.
  auto save = [&](int k, int n, const UnitItem& item) {
    if (item.state == ItemState::Held) {
      const std::string rel = item_file(item);
      fs::create_directories((dir / rel).parent_path(), ec);
      if (write_file((dir / rel).string(), item.bytes)) {
        sums.emplace_back(rel, sha256_hex(item.bytes.data(), item.bytes.size()));
        out.bytes += item.bytes.size();
      } else {
        ShowMessage(("Не удалось записать файл " + (dir / rel).string()).c_str(), Icon::Error);
        written = false;
      }
    }
    return (!done || done(k, n, item)) && written;
  };
  const bool ran = ReadUnit(out.items, out.facts, {}, save, &out.stopped);
  if (out.items.empty()) {
    // The unit was never reached: no folder that looks like a backup.
    fs::remove(dir, ec);
    out.unreached = true;
    return false;
  }

  for (const UnitItem& i : out.items) {
    if (i.state == ItemState::Held) ++out.held;
    else if (i.state == ItemState::Empty) ++out.empty;
    else ++out.failed;
  }
  for (const auto& [rel, hash] : sums)
    if (hash.empty()) written = false;
  out.complete = ran && written && out.failed == 0;

  Manifest m;
  const LocalDateTime t = local_now();
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  char version[16];
  std::snprintf(version, sizeof version, "%d.%d.%03d", version_major(), version_minor(), version_build());
  m.facts = {{"date", date},
             {"korsync", version},
             {"port", one_line(port_text())},
             {"speed", std::to_string(app().speed)},
             {"version", one_line(out.facts.version)},
             {"model", std::to_string(out.facts.model)},
             {"protocol", protocol_name(out.facts.protocol)}};
  m.complete = out.complete;
  const bool sumsOk = write_file((dir / kSumsName).string(), sums_text(sums));
  // The manifest last: complete=1 is its last line, so it stands only when all before it is on disk.
  const std::string tmp = (dir / (std::string(kManifestName) + ".tmp")).string();
  bool manifestOk = sumsOk && write_file(tmp, manifest_text(m, out.items));
  if (manifestOk) {
    fs::rename(tmp, dir / kManifestName, ec);
    manifestOk = !ec;
  }
  if (!manifestOk) {
    ShowMessage(("Не удалось записать " + (dir / kManifestName).string()).c_str(), Icon::Error);
    out.complete = false;
  }
  out.seconds = double(timing().NowUs() - start) / 1e6;
  return true;
}

std::string backup_summary_line(const BackupSummary& s) {
  int programs = 0, subprograms = 0, params = 0, tables = 0;
  for (const UnitItem& i : s.items) {
    if (i.state != ItemState::Held) continue;
    switch (i.kind) {
      case ItemKind::Program: ++programs; break;
      case ItemKind::Subprogram: ++subprograms; break;
      case ItemKind::Parameters: ++params; break;
      case ItemKind::Correction: ++tables; break;
    }
  }
  char line[256];
  std::snprintf(line, sizeof line,
                "%d items: %d programs, %d subprograms, %s, %d correction tables, %d empty, %d failed; %llu bytes in %.1f s",
                int(s.items.size()), programs, subprograms, params ? "params" : "no params", tables, s.empty, s.failed,
                static_cast<unsigned long long>(s.bytes), s.seconds);
  return line;
}

}  // namespace kor
