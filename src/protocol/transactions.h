// Request-answer primitives: one frame out, a fixed wait, one read of the answer.
#pragma once
#include <cstdint>

#include "link/rs232.h"

namespace kor {

// Fixed waits after each request (ms).
constexpr unsigned kLinkCheckWait = 18;
constexpr unsigned kVersionWait = 30;
constexpr unsigned kAxisTableWait = 750;
constexpr unsigned kBlockReadWait = 40;
constexpr unsigned kBlockWriteWait = 50;
constexpr unsigned kSpeedProbeWait = 100;

constexpr int kModel460 = 460;
constexpr int kModel461 = 461;
constexpr int kModel462 = 462;

// "Связь потеряна, переподключите кабель", and the link is marked lost.
void ReportLinkLost(CRs232& rs);

// How an answer ends, for fast mode.
enum class AnswerEnd {
  Complete,  // with the bytes it needs (and whatever else has already come)
  Quiet,     // with the bytes it needs, or more until the line goes quiet
};
// Bytes an answer needs, judged by the got bytes that are in.
using AnswerNeed = unsigned (*)(const uint8_t* buf, unsigned got);

// The answer to the request just written, into buf (at most size bytes). By
// default the fixed wait, then one read. In fast mode the wait ends as soon as
// `want` bytes are in (0: an answer of unknown length, over once the line is
// quiet after its first byte); the fixed wait stays the bound, so an answer that
// does not come, or comes short, is read at the same moment as by default.
unsigned ReadAnswer(CRs232& rs, uint8_t* buf, unsigned size, unsigned waitMs, unsigned want,
                    AnswerEnd end = AnswerEnd::Complete, AnswerNeed need = nullptr);
// Fast mode's quiet gap: a few characters at the line speed plus what the
// adapter may hold bytes back.
uint64_t quiet_gap_us(int speed, unsigned adapterLatencyMs);

// 0 when the 8-byte answer sums to 365 (the echo of the request), else -1.
int LinkCheck(CRs232& rs);
// The model code (460, 461, 462) or -1; the answer stays in AppState's version buffer.
int VersionQuery(CRs232& rs);
// Decodes the first three characters of a version answer as the unit does.
int decode_model(const char* answer);
// 1 when the axis table was filled from the parameter memory, 0 otherwise.
int ReadAxisTable(CRs232& rs);
bool ReadHeaderBlock(CRs232& rs, uint8_t kind, uint8_t index, uint8_t buf[42]);
bool ReadDataBlock(CRs232& rs, uint8_t kind, uint8_t index, uint8_t block, uint8_t buf[134]);
// Title and slot come from AppState (the download dialog's answer).
bool WriteHeader(CRs232& rs, uint8_t kind, int16_t lines);
bool WriteBlock(CRs232& rs, uint8_t kind, uint8_t block, const uint8_t data[132]);
// The speed the unit answers at (200000, 2000000, 115200) or -1; the port is
// closed again when it returns.
int SpeedProbe();

// Opening sequence: the port must be free, opens AppState's port, checks the
// link. False when the operation must end (already reported where the window
// reports it).
bool BeginDeviceOperation(CRs232& rs);

// Which program protocol a model code selects.
enum class ProgramProtocol { None, Block, Page };
ProgramProtocol protocol_of(int model);
const char* protocol_name(ProgramProtocol p);

}  // namespace kor
