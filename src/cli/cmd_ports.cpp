// korsync ports: the connected FTDI adapters and the port the program would use.
#include <cstdio>
#include <string>

#include "app/adapters.h"
#include "cli/context.h"

namespace kor::cli {

namespace {

void register_ports(CLI::App& cli, Context&) {
  add_command(cli, "ports", "list the connected FTDI adapters (vid, pid, serial, port)", [](Context&) {
    for (const std::string& line : AdapterListLines()) std::printf("%s\n", line.c_str());
    for (const std::string& line : AdapterLatencyLines()) std::printf("%s\n", line.c_str());
    AdapterScan s = ScanAdapters();
    if (!s.any) {
      std::printf("port: none (no adapter found)\n");
      return 0;
    }
    const AdapterEntry& e = s.table[s.chosen];
#ifdef _WIN32
    std::printf("port: COM%d (%s)\n", PortNumberOf(e.portCopy), e.portName);
#else
    std::printf("port: %s\n", e.portName);
#endif
    return 0;
  });
}

const Registrar reg(register_ports);

}  // namespace

}  // namespace kor::cli
