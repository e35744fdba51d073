// The record of what was written, and its file.
#include "engine/run/done_record.h"

#include <algorithm>
#include <cstring>

#include "base/paths.h"

namespace {

constexpr char kMagic[8] = {'T', 'S', 'Y', 'D', 'O', 'N', 'E', '1'};
constexpr size_t kHeaderSize = 16;  // magic, count, zero
constexpr size_t kMarkSize = 56;
constexpr size_t kTrailerSize = 4;  // CRC-32 of everything before it

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put(std::vector<uint8_t>* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t Get(const uint8_t* at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint64_t{at[i]} << (8 * i);
  return value;
}

}  // namespace

uint64_t PathHash(TextView path) {
  // FNV-1a over the UTF-16 units of the key: equal spellings of one path meet.
  uint64_t hash = 0xCBF29CE484222325ull;
  for (char16_t unit : FsPathKey(path)) {
    hash = (hash ^ (unit & 0xFF)) * 0x100000001B3ull;
    hash = (hash ^ (unit >> 8)) * 0x100000001B3ull;
  }
  return hash;
}

Text DoneRecordPathBeside(TextView configPath) {
  return SplitPath(configPath).folder + kDoneRecordName;
}

std::vector<uint8_t> DoneRecord::Encode(const std::vector<DoneMark>& marks) {
  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  out.reserve(kHeaderSize + marks.size() * kMarkSize + kTrailerSize);
  Put(&out, marks.size(), 4);
  Put(&out, 0, 4);
  for (const DoneMark& m : marks) {
    Put(&out, m.output, 8);
    Put(&out, m.source, 8);
    Put(&out, m.sourceSize, 8);
    Put(&out, static_cast<uint64_t>(m.sourceTime), 8);
    Put(&out, m.outputSize, 8);
    Put(&out, static_cast<uint64_t>(m.outputTime), 8);
    Put(&out, m.signature, 4);
    Put(&out, m.sequence, 4);
  }
  Put(&out, Crc32(out.data(), out.size()), 4);
  return out;
}

bool DoneRecord::Decode(const std::vector<uint8_t>& bytes, std::vector<DoneMark>* marks) {
  marks->clear();
  if (bytes.size() < kHeaderSize + kTrailerSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return false;
  uint64_t count = Get(&bytes[8], 4);
  if (count > kMaxDoneMarks || Get(&bytes[12], 4) != 0) return false;
  if (bytes.size() != kHeaderSize + count * kMarkSize + kTrailerSize) return false;
  size_t body = bytes.size() - kTrailerSize;
  if (Crc32(bytes.data(), body) != Get(&bytes[body], 4)) return false;
  marks->reserve(count);
  for (const uint8_t* at = &bytes[kHeaderSize]; at < &bytes[body]; at += kMarkSize) {
    DoneMark m;
    m.output = Get(at, 8);
    m.source = Get(at + 8, 8);
    m.sourceSize = Get(at + 16, 8);
    m.sourceTime = static_cast<int64_t>(Get(at + 24, 8));
    m.outputSize = Get(at + 32, 8);
    m.outputTime = static_cast<int64_t>(Get(at + 40, 8));
    m.signature = static_cast<uint32_t>(Get(at + 48, 4));
    m.sequence = static_cast<uint32_t>(Get(at + 52, 4));
    marks->push_back(m);
  }
  return true;
}

namespace {

// The marks of the file at path; none when it is missing or not a whole record. No more
// is read than the largest record can be.
std::vector<DoneMark> ReadMarks(TextView path) {
  std::vector<DoneMark> marks;
  std::vector<uint8_t> bytes;
  uint64_t size = 0;
  constexpr size_t kLargest = kHeaderSize + kMaxDoneMarks * kMarkSize + kTrailerSize;
  if (FsReadFileHead(path, kLargest + 1, &bytes, &size) != ReadResult::Ok || size > kLargest) return marks;
  DoneRecord::Decode(bytes, &marks);
  return marks;
}

}  // namespace

bool DoneRecord::Load(TextView path) {
  marks_.clear();
  noted_.clear();
  nextSequence_ = 1;
  std::vector<DoneMark> marks = ReadMarks(path);
  for (const DoneMark& m : marks) {
    marks_[m.output] = m;
    nextSequence_ = std::max(nextSequence_, m.sequence + 1);
  }
  return !marks.empty();
}

bool DoneRecord::Save(TextView path) {
  if (noted_.empty()) return true;
  std::unordered_map<uint64_t, DoneMark> merged;
  uint32_t newest = 0;
  for (const DoneMark& m : ReadMarks(path)) {
    merged[m.output] = m;
    newest = std::max(newest, m.sequence);
  }
  // Ours come after whatever the file holds now, in the order they were noted.
  std::vector<DoneMark> ours;
  for (uint64_t key : noted_) ours.push_back(marks_[key]);
  std::sort(ours.begin(), ours.end(), [](const DoneMark& a, const DoneMark& b) { return a.sequence < b.sequence; });
  for (DoneMark m : ours) {
    m.sequence = ++newest;
    merged[m.output] = m;
  }
  std::vector<DoneMark> all;
  all.reserve(merged.size());
  for (const auto& [key, m] : merged) all.push_back(m);
  std::sort(all.begin(), all.end(), [](const DoneMark& a, const DoneMark& b) { return a.sequence < b.sequence; });
  if (all.size() > kMaxDoneMarks) all.erase(all.begin(), all.end() - static_cast<ptrdiff_t>(kMaxDoneMarks));
  std::vector<uint8_t> bytes = Encode(all);
  if (!FsWriteFileReplacing(path, bytes.data(), bytes.size())) return false;
  noted_.clear();
  return true;
}

const DoneMark* DoneRecord::Find(uint64_t output) const {
  auto found = marks_.find(output);
  return found == marks_.end() ? nullptr : &found->second;
}

void DoneRecord::Note(DoneMark mark) {
  mark.sequence = nextSequence_++;
  marks_[mark.output] = mark;
  noted_.insert(mark.output);
}

bool IsOurOutput(const DoneMark* mark, const FileFacts& output) {
  return mark && mark->outputSize != kNothingWritten && mark->outputSize == output.size &&
         mark->outputTime == output.modified;
}

bool IsDone(const DoneMark* mark, TextView inputPath, const FileFacts& source, uint32_t signature, bool outputExists,
            const FileFacts& output) {
  if (!mark || mark->signature != signature || mark->source != PathHash(inputPath)) return false;
  if (mark->sourceSize != source.size || mark->sourceTime != source.modified) return false;
  // Nothing was written beside the source; whatever is at that path now is no concern of
  // this source's, which is still the result.
  if (mark->outputSize == kNothingWritten) return true;
  return outputExists && IsOurOutput(mark, output);
}
