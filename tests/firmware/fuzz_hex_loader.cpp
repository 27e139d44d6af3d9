// libFuzzer entry: any text through the HEX loader. Besides what the sanitizers
// catch, a loaded image and the report on it must describe what it holds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "firmware/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One image for all runs: a fresh quarter megabyte per input would be most of the work.
  static kor::FirmwareImage image;
  std::fill(image.bytes.begin(), image.bytes.end(), uint8_t(0xFF));
  const kor::FirmwareLoad load = kor::LoadFirmwareImage(reinterpret_cast<const char*>(data), size, image);
  if (image.bytes.size() != size_t(kor::kFirmwareImageSize)) std::abort();
  if (load.status == kor::TASK_IS_DONE) {
    if (load.imageEnd < 1 || load.imageEnd > kor::kFirmwareEndLimit) std::abort();
    if (load.lastPage != (load.imageEnd - 1) / kor::kFlashPageSize) std::abort();
    // Nothing beyond the image end was loaded.
    if (std::any_of(image.bytes.begin() + load.imageEnd, image.bytes.end(), [](uint8_t b) { return b != 0xFF; }))
      std::abort();
  } else if (load.lastPage != 0) {
    std::abort();
  }
  // Asking what the file holds must not change how it loads, and every byte
  // loaded lies in a reported range.
  static kor::FirmwareImage reported;
  std::fill(reported.bytes.begin(), reported.bytes.end(), uint8_t(0xFF));
  kor::FirmwareReport report;
  const kor::FirmwareLoad again = kor::LoadFirmwareImage(reinterpret_cast<const char*>(data), size, reported, &report);
  if (again.status != load.status || again.imageEnd != load.imageEnd || again.lastPage != load.lastPage ||
      reported.bytes != image.bytes)
    std::abort();
  int64_t at = 0;
  for (const kor::AddressRange& r : report.ranges) {
    if (r.begin < at || r.end <= r.begin || r.end > kor::kFirmwareImageSize) std::abort();
    if (std::any_of(image.bytes.begin() + at, image.bytes.begin() + r.begin, [](uint8_t b) { return b != 0xFF; }))
      std::abort();
    at = r.end;
  }
  if (std::any_of(image.bytes.begin() + at, image.bytes.end(), [](uint8_t b) { return b != 0xFF; })) std::abort();
  return 0;
}
