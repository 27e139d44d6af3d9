// Program and subprogram storage of both generations.
#include "sim/programs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "program/axis_table.h"
#include "program/program_frame.h"
#include "program/program_text.h"
#include "protocol/frames.h"

namespace kor::sim {

namespace {

namespace fs = std::filesystem;

enum class Generation { None, Block, Page };

Generation generation_of(const Unit& unit) {
  const int m = unit.config().model;
  if (m == 461 || m == 462) return Generation::Block;
  if (m == 0) return Generation::Page;
  return Generation::None;
}

constexpr int kPageSize = 4000;
constexpr int kPageImageBytes = 3993;
constexpr int kProgramPages = 5;
constexpr int kLastPageImageBytes = kProgramImageSize - kPageImageBytes * (kProgramPages - 1);  // 660

int image_size(int kind) { return kind ? kSubprogramImageSize : kProgramImageSize; }

std::string field_text(const uint8_t* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

void append_crc(std::vector<uint8_t>& answer) {
  const uint16_t crc = block_crc(answer.data(), uint16_t(answer.size()));
  answer.resize(answer.size() + 2);
  put_crc(answer.data() + answer.size() - 2, crc);
}

const char* base_format(int kind) { return kind ? "kor_subprogram_%03d" : "kor_program_%03d"; }

}  // namespace

ProgramStore::ProgramStore() {
  slots_[0].resize(20);
  slots_[1].resize(50);
}

std::vector<uint8_t> ProgramStore::ServedImage(int kind, int index) const {
  const StoredProgram& p = slot(kind, index);
  std::vector<uint8_t> image = p.image;
  image.resize(size_t(image_size(kind)), 0xFF);
  return image;
}

bool ProgramStore::Handle(Unit& unit, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  const Generation gen = generation_of(unit);
  if (f.size() == size_t(kCommandFrameSize) && f[0] == 0x00 && f[3] <= 1 && f[4] == 0x02) {
    if (gen == Generation::Block) return BlockRequest(unit, f, answer);
    if (gen == Generation::Page) return PageRequest(f, answer);
    return true;  // the 460 keeps quiet
  }
  if (f[0] != 0x01 || f.size() < 8 || f[3] > 1) return false;
  if ((f.size() == size_t(kHeaderFrameSize) || f.size() == size_t(kBlockFrameSize)) && f[4] == 0x03)
    return gen == Generation::Block ? BlockWrite(f, answer) : true;
  if (f.size() == size_t(kPageFrameSize) && (f[4] == 0x03 || f[4] == 0x16))
    return gen == Generation::Page ? PageWrite(f, answer) : true;
  return false;
}

bool ProgramStore::BlockRequest(Unit&, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  const int kind = f[3], index = f[5], part = f[6];
  if (index >= slot_count(kind)) return true;
  const StoredProgram& p = slot(kind, index);
  if (part == 0) {
    answer.assign(kHeaderRecordSize, 0);
    // The count field is 16 bits: a store that holds more wraps as the unit would.
    build_header_record(answer.data(), p.title.c_str(), int16_t(uint16_t(p.lines.size())));
  } else {
    answer.assign(kDataBlockSize, 0);
    for (int half = 0; half < 2; ++half) {
      const size_t line = size_t(2 * part - 2 + half);
      if (line >= p.lines.size()) continue;
      const std::string& text = p.lines[line];
      std::memcpy(answer.data() + kLineFieldSize * half, text.data(),
                  std::min<size_t>(text.size(), kLineFieldSize - 1));
    }
  }
  append_crc(answer);
  return true;
}

bool ProgramStore::PageRequest(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  const int kind = f[3], number = f[5], page = f[6];
  if (number < 1 || number > slot_count(kind)) return true;
  const std::vector<uint8_t> image = ServedImage(kind, number - 1);
  if (kind == 1) {
    if (page == 0) answer = image;
    return true;
  }
  if (page < kProgramPages - 1) {
    answer.assign(image.begin() + kPageImageBytes * page, image.begin() + kPageImageBytes * (page + 1));
    answer.resize(kPageSize, 0x00);
  } else if (page == kProgramPages - 1) {
    answer.assign(image.end() - kLastPageImageBytes, image.end());
    answer.resize(lastPageSize, 0x00);
  }
  return true;
}

bool ProgramStore::BlockWrite(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  const int kind = f[3], index = f[5];
  const uint16_t covered = uint16_t(f.size() - 3 - 2);
  // A garbled frame is not acknowledged; neither is one for a slot the unit lacks.
  if (!crc_matches(f.data() + 3, covered) || index >= slot_count(kind)) return true;
  StoredProgram& p = slot(kind, index);
  if (f.size() == size_t(kHeaderFrameSize)) {
    const HeaderRecord h = parse_header_record(f.data() + 8);
    p.title = h.title;
    p.lines.assign(size_t(std::max<int>(h.lines, 0)), std::string());
    ++headerWrites;
  } else {
    const int block = f[6];
    for (int half = 0; half < 2; ++half) {
      const size_t line = size_t(2 * block - 2 + half);
      if (block >= 1 && line < p.lines.size())
        p.lines[line] = field_text(f.data() + 8 + kLineFieldSize * half, kLineFieldSize);
    }
    if (block == corruptWrite && size_t(2 * block - 2) < p.lines.size()) {
      corruptWrite = -1;
      std::string& line = p.lines[size_t(2 * block - 2)];
      if (!line.empty() && line.back() >= '0' && line.back() <= '9')
        line.back() = char('0' + (line.back() - '0' + 1) % 10);
      else
        line += '0';
    }
    ++blockWrites;
  }
  answer.assign(f.end() - 2, f.end());
  return true;
}

bool ProgramStore::PageWrite(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) {
  const int kind = f[3], number = f[5], page = f[6];
  if (number < 1 || number > slot_count(kind)) return true;
  StoredProgram& p = slot(kind, number - 1);
  if (f[4] == 0x16) {
    p.title = field_text(f.data() + 8, kPagePayloadSize);
    ++closings;
    return true;
  }
  ++pageWrites;
  const uint8_t status = page == failPage ? failStatus : uint8_t(0);
  // Like the unit, a page it acknowledges is kept at once: a write that ends
  // early leaves what was stored so far, whatever the closing frame would say.
  const bool early = kind == 0 && page == earlyEndPage;
  if (status == 0 || early) {
    if (p.image.empty()) p.image.assign(size_t(image_size(kind)), 0xFF);
    const size_t at = size_t(kPagePayloadSize) * size_t(page);
    if (at + kPagePayloadSize <= p.image.size()) std::memcpy(p.image.data() + at, f.data() + 8, kPagePayloadSize);
    if (page == corruptWrite && at + kFrameSize <= p.image.size()) {
      corruptWrite = -1;
      ProgramFrame frame = ProgramFrame::decode(p.image.data() + at);
      frame.line_number = uint16_t(frame.line_number + 1);
      frame.encode(p.image.data() + at);
      seal_frames(p.image.data() + at, kFrameSize);
    }
  }
  if (early) {
    answer.assign({'9', '6', '6', '6', '6', '6'});
    return true;
  }
  answer = {uint8_t(number), uint8_t(page), status};
  return true;
}

std::string block_program_file(const StoredProgram& p) {
  std::string text;
  if (!p.title.empty()) text += "%" + p.title + "\r\n";
  for (const std::string& line : p.lines) text += line + "\r\n";
  return text;
}

int LoadPrograms(Unit& unit, const std::string& dir, std::string& error) {
  auto* store = unit.Find<ProgramStore>();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    error = "no such folder: " + dir;
    return -1;
  }
  // Images are parsed in the number formats the unit's own channels give.
  fill_axis_channels(unit.paramMemory.data());
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    int kind = -1, number = 0;
    for (int k = 0; k < 2 && kind < 0; ++k) {
      for (int n = 1; n <= ProgramStore::slot_count(k); ++n) {
        char want[40];
        std::snprintf(want, sizeof want, base_format(k), n);
        if (name == std::string(want) + ".txt") {
          kind = k;
          number = n;
          break;
        }
      }
    }
    if (kind < 0) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    if (!in) {
      error = "cannot read " + entry.path().string();
      return -1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StoredProgram& p = store->slot(kind, number - 1);
    p = StoredProgram{};
    std::vector<std::string> lines = split_text_lines(text);
    size_t body = 0;
    if (!lines.empty() && !lines[0].empty() && lines[0][0] == '%') {
      p.title = lines[0].substr(1);
      body = text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1;
      lines.erase(lines.begin());
    }
    p.lines = lines;
    ProgramImage image = blank_program_image(kind == 1, uint16_t(number));
    const ProgramParse parse = parse_program_text(std::string_view(text).substr(body), image.data(), image.size);
    // The page generation serves the image: a part of the text must not pass for all of it.
    if (generation_of(unit) == Generation::Page && parse.stop != ParseStop::End) {
      error = entry.path().string() + ": text does not parse whole (line " +
              std::to_string(parse.line + (body ? 1 : 0)) + ")";
      return -1;
    }
    seal_frames(image.data(), image.size);
    p.image.assign(image.data(), image.data() + image.size);
    ++loaded;
  }
  return loaded;
}

bool DumpPrograms(Unit& unit, const std::string& dir, std::string& error) {
  auto* store = unit.Find<ProgramStore>();
  std::error_code ec;
  fs::create_directories(dir, ec);
  fill_axis_channels(unit.paramMemory.data());
  const Generation gen = generation_of(unit);
  auto put = [&](const std::string& name, const void* data, size_t n) {
    std::ofstream out(fs::path(dir) / name, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(n));
    if (!out) error = "cannot write " + (fs::path(dir) / name).string();
    return bool(out);
  };
  for (int kind = 0; kind < 2; ++kind) {
    for (int i = 0; i < ProgramStore::slot_count(kind); ++i) {
      const StoredProgram& p = store->slot(kind, i);
      char base[32];
      std::snprintf(base, sizeof base, base_format(kind), i + 1);
      if (gen == Generation::Page) {
        if (p.image.empty()) continue;
        std::string text;
        if (!p.title.empty()) text += "%" + p.title + "\r\n";
        format_program_text(p.image.data(), int(p.image.size()), text);
        if (!put(std::string(base) + ".txt", text.data(), text.size())) return false;
        if (!put(std::string(base) + ".bin", p.image.data(), p.image.size())) return false;
      } else {
        if (p.lines.empty() && p.title.empty()) continue;
        const std::string text = block_program_file(p);
        if (!put(std::string(base) + ".txt", text.data(), text.size())) return false;
      }
    }
  }
  return true;
}

void AddProgramServices(Unit& unit) { unit.AddService(std::make_unique<ProgramStore>()); }

}  // namespace kor::sim
