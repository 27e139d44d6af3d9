// Writing a firmware image into the unit's flash, page by page, while the unit
// runs its programming mode.
#pragma once
#include <cstdint>
#include <functional>

#include "firmware/firmware_image.h"
#include "link/rs232.h"
#include "protocol/status_codes.h"

namespace kor {

constexpr int kPagePacketSize = 524;
constexpr unsigned kPageAnswerMax = 100;
constexpr unsigned kPageAnswerSize = 4;  // detail, unused, result, bit count
constexpr int kPageAttempts = 6;
// A unit that asks for the same page again and again is not going to take it.
constexpr int kPageRepeatLimit = 1000;
constexpr unsigned kClosingWait = 500;

// Result byte of a page answer.
constexpr uint8_t kPageWritten = 4;
constexpr uint8_t kPageNoRoom = 56;
constexpr uint8_t kPageSendAgain = 135;

// 02 0A 03, 03 (+0x80 for counters 256..511, +0x40 from 512), twice the page
// index high byte first, the counter's low byte, checksum; the page; its one-bit
// count low byte first; the CRC of bytes 0..519 high byte first.
void build_page_packet(uint8_t out[kPagePacketSize], const uint8_t page[kFlashPageSize], int pageIndex,
                       int counter);

// One page with its retries: FLASH_IS_WRITTEN (the counter moves on), or why not.
// Every counted failed attempt prints " %i count_error" on standard output.
StatusCode WriteFirmwarePage(CRs232& rs, const uint8_t page[kFlashPageSize], int pageIndex, int& counter,
                             unsigned delayMs);

// The message a load that must not be flashed is refused with; null when the
// flashing may go on.
const char* firmware_refusal(const FirmwareLoad& load);

// Told what the selected file holds once it is loaded, before any page is sent
// (also when the file is refused).
using FirmwareLoaded = std::function<void(const FirmwareLoad&, const FirmwareReport&)>;

// Reads the HEX file selected in AppState and loads it as the flashing does;
// false when it must not be flashed (reported to the operator).
bool LoadSelectedFirmware(FirmwareImage& image, FirmwareLoad& load, const FirmwareLoaded& loaded = {});

// The whole update with the HEX file selected in AppState; reports its outcome.
void FlashFirmware(const FirmwareLoaded& loaded = {});

}  // namespace kor
