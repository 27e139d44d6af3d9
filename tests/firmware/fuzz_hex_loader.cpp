// libFuzzer entry: any text through the HEX loader. Besides what the sanitizers
// catch, a loaded image must describe what it holds.
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
  return 0;
}
