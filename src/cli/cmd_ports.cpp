// korsync ports: the connected FTDI adapters and the port the program would use.
#include <cstdio>
#include <string>

#include "app/adapters.h"
#include "app/app_state.h"
#include "cli/context.h"
#include "cli/json_out.h"
#include "link/serial_device.h"

namespace kor::cli {

namespace {

// The port the next operation opens, as an adapter's port name would read; empty when none.
std::string port_in_use() {
  const AppState& a = app();
#ifdef _WIN32
  if (a.portPath[0]) return a.portPath;
  return a.comPort ? "COM" + std::to_string(a.comPort) : std::string();
#else
  if (a.portPath[0]) return a.portPath;
  return a.comPort ? com_device_path(a.comPort) : std::string();
#endif
}

bool is_used(const AdapterEntry& e, [[maybe_unused]] const std::string& used) {
#ifdef _WIN32
  return app().comPort && !app().portPath[0] && PortNumberOf(e.portCopy) == app().comPort;
#else
  return !used.empty() && used == e.portName;
#endif
}

int run_ports(Context& ctx) {
  const std::string used = port_in_use();
  const std::vector<AdapterEntry> entries = AdapterListEntries();
  if (ctx.json) {
    Json list = Json::array();
    for (const AdapterEntry& e : entries)
      list.push_back({{"vid", e.vendorId}, {"pid", e.productId}, {"serial", e.serial}, {"port", json_text(e.portName)},
                      {"used", is_used(e, used)}});
    ctx.result = {{"adapters", list}, {"port", used.empty() ? Json() : Json(json_text(used))}, {"given", !ctx.port.empty()}};
    return 0;
  }
  // "*" marks the adapter the next operation would open.
  for (const AdapterEntry& e : entries) print_out((is_used(e, used) ? "* " : "  ") + AdapterLineText(e) + "\n");
  for (const std::string& line : AdapterLatencyLines()) print_out(line + "\n");
  if (used.empty())
    print_out("port: none (no adapter found: connect the adapter or give --port)\n");
  else
    print_out("port: " + used + (ctx.port.empty() ? "" : " (--port)") + "\n");
  return 0;
}

void register_ports(CLI::App& cli, Context&) {
  json_command(
      add_command(cli, "ports", "list the connected FTDI adapters (vid, pid, serial, port); * marks the one used", run_ports));
}

const Registrar reg(register_ports, 70);

}  // namespace

}  // namespace kor::cli
