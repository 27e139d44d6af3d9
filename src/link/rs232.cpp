#include "link/rs232.h"

#include <cstdio>

#include "app/operator.h"

namespace kor {

namespace {

SerialDevice* g_port = nullptr;

constexpr unsigned kDefaultLatencyMs = 16;
constexpr unsigned kLowLatencyMs = 1;
unsigned g_latencyMs = kDefaultLatencyMs;
bool g_lowLatencyRefusalNoted = false;

// Fast mode gains little while the adapter holds every short answer for its
// timer: ask for low latency, and say once when it is not to be had.
void AskLowLatency(SerialDevice& dev) {
  g_latencyMs = kDefaultLatencyMs;
  if (!app().fastMode) return;
  if (dev.RequestLowLatency()) {
    g_latencyMs = kLowLatencyMs;
    return;
  }
  if (g_lowLatencyRefusalNoted) return;
  g_lowLatencyRefusalNoted = true;
  op().Note("драйвер порта не включил низкую задержку: адаптер может держать каждый ответ до 16 мс");
}

const int kSpeeds[] = {110,   300,    600,    1200,   2400,   4800,   9600,    19200,   38400,
                       57600, 76800, 115200, 128000, 200000, 256000, 921600, 2000000, 3000000};

const char kCaption[] = "CRs232::OpenComport";

void Fail(const char* text, Handle owner) { op().Message(text, kCaption, Icon::Error, owner); }

}  // namespace

SerialDevice* CRs232::PortHandle() { return g_port; }

std::span<const int> CRs232::AcceptedSpeeds() { return kSpeeds; }

bool CRs232::SpeedAccepted(int speed) {
  for (int s : kSpeeds)
    if (s == speed) return true;
  return false;
}

int CRs232::OpenComport(int com, int speed, Handle owner) {
  if (g_port) {
    Fail("ComPort is busy", owner);
    return 1;
  }
  if (com < 1 || com > 256) {
    Fail("Не выбран Com port", owner);
    return 1;
  }
  return Open(com_device_path(com).c_str(), speed, owner);
}

int CRs232::OpenDevice(const char* path, int speed, Handle owner) {
  if (g_port) {
    Fail("ComPort is busy", owner);
    return 1;
  }
  return Open(path, speed, owner);
}

int CRs232::Open(const char* path, int speed, Handle owner) {
  if (!SpeedAccepted(speed)) return 1;
  char mode[64];
  std::snprintf(mode, sizeof mode, "baud=%d data=8 parity=N stop=1", speed);

  std::unique_ptr<SerialDevice> dev = port_driver().Open(path);
  g_port = dev.release();
  owner_ = true;
  if (!g_port) {
    switch (port_driver().LastFailure()) {
      case OpenFailure::Busy:
        Fail("Не удалось открыть порт : порт занят другой программой,\nзакройте её", owner);
        break;
      case OpenFailure::Denied:
        Fail("Не удалось открыть порт : нет доступа,\nдобавьте пользователя в группу dialout", owner);
        break;
      default:
        Fail("Не удалось открыть порт : invalid handle,\nпереподключите кабель", owner);
    }
    Close();
    return 1;
  }
  if (!g_port->BuildLine(mode)) {
    Fail("unable to set comport dcb settings", owner);
    Close();
    return 1;
  }
  if (!g_port->SetLine()) {
    Fail("unable to set comport cfg settings", owner);
    Close();
    return 1;
  }
  if (!g_port->SetNonBlockingReads()) {
    Fail("unable to set comport time-out settings", owner);
    Close();
    return 1;
  }
  if (!g_port->Purge()) {
    Fail("error PurgeComm", owner);
    Close();
    return 1;
  }
  AskLowLatency(*g_port);
  return 0;
}

unsigned CRs232::AdapterLatencyMs() { return g_latencyMs; }

void CRs232::Close() {
  if (!owner_) return;
  owner_ = false;
  if (g_port) {
    if (linkState != -1) g_port->Close();
    delete g_port;  // the object only; an abandoned device stays as it was
  }
  g_port = nullptr;
}

unsigned CRs232::Read(uint8_t* buf, unsigned count) {
  if (!g_port) return 0;
  long n = g_port->Read(buf, count);
  return n < 0 ? 0 : unsigned(n);
}

unsigned CRs232::ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) {
  if (!g_port) return 0;
  long n = g_port->ReadExact(buf, count, waitUs);
  return n < 0 ? 0 : unsigned(n);
}

int CRs232::Write(const uint8_t* buf, unsigned count) {
  if (!g_port) return -1;
  long n = g_port->Write(buf, count);
  return n < 0 ? -1 : int(n);
}

void CRs232::Purge() {
  if (g_port) g_port->Purge();
}

int OpenAppPort(CRs232& rs) {
  AppState& a = app();
  if (a.portPath[0]) return rs.OpenDevice(a.portPath, a.speed, a.mainWindow);
  return rs.OpenComport(a.comPort, a.speed, a.mainWindow);
}

}  // namespace kor
