#include "engine/workers/worker_protocol.h"

#include <cstring>

namespace {

constexpr uint32_t kShrinkOnLoadBit = 1;

class Writer {
 public:
  explicit Writer(WorkerMessage kind) : bytes_(kWorkerFrameHeader) { bytes_[4] = static_cast<uint8_t>(kind); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void Bytes(const void* data, size_t size) {
    U32(static_cast<uint32_t>(size));
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Units(TextView text) { Bytes(text.data(), text.size() * sizeof(char16_t)); }
  std::vector<uint8_t> Done() {
    uint32_t payload = static_cast<uint32_t>(bytes_.size() - kWorkerFrameHeader);
    for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<uint8_t>(payload >> (8 * i));
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
};

class Reader {
 public:
  Reader(const uint8_t* frame, size_t size, WorkerMessage kind)
      : p_(frame + kWorkerFrameHeader),
        end_(frame + size),
        ok_(size >= kWorkerFrameHeader && frame[4] == static_cast<uint8_t>(kind)) {}
  uint32_t U32() {
    if (!Has(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{p_[i]} << (8 * i);
    p_ += 4;
    return v;
  }
  uint64_t U64() {
    uint64_t low = U32();
    return low | uint64_t{U32()} << 32;
  }
  // A byte run with its count; nullptr when the frame holds fewer bytes than it claims.
  const uint8_t* Bytes(size_t* size) {
    *size = U32();
    if (!Has(*size)) return nullptr;
    const uint8_t* at = p_;
    p_ += *size;
    return at;
  }
  Text Units() {
    size_t size = 0;
    const uint8_t* at = Bytes(&size);
    if (!at || size % 2 != 0) {
      ok_ = false;
      return Text();
    }
    Text text(size / 2, u'\0');
    std::memcpy(text.data(), at, size);
    return text;
  }
  bool Finished() const { return ok_ && p_ == end_; }

 private:
  bool Has(size_t n) {
    if (!ok_ || static_cast<size_t>(end_ - p_) < n) ok_ = false;
    return ok_;
  }
  const uint8_t* p_;
  const uint8_t* end_;
  bool ok_;
};

}  // namespace

std::vector<uint8_t> JobFrame(const WorkerJob& job) {
  Writer w(WorkerMessage::Job);
  w.Bytes(&job.settings, sizeof job.settings);
  w.Units(job.inputPath);
  w.U32(job.options.shrinkOnLoad ? kShrinkOnLoadBit : 0);
  return w.Done();
}

std::vector<uint8_t> HeaderFrame(uint64_t pixels, uint64_t bytes) {
  Writer w(WorkerMessage::Header);
  w.U64(pixels);
  w.U64(bytes);
  return w.Done();
}

std::vector<uint8_t> GoFrame() {
  return Writer(WorkerMessage::Go).Done();
}

std::vector<uint8_t> DecodedFrame(uint32_t bytesRead) {
  Writer w(WorkerMessage::Decoded);
  w.U32(bytesRead);
  return w.Done();
}

std::vector<uint8_t> ResultFrame(const FileWork& work) {
  Writer w(WorkerMessage::Result);
  w.U32(static_cast<uint32_t>(work.error));
  w.U32(work.bytesRead);
  w.U32(work.decodeScale);
  w.U32(work.sourceLike ? 1 : 0);
  w.Units(work.detail);
  w.Bytes(work.encoded.data(), work.encoded.size());
  return w.Done();
}

bool WholeFrameLength(const std::vector<uint8_t>& bytes, size_t* length) {
  *length = 0;
  if (bytes.size() < kWorkerFrameHeader) return true;
  uint32_t payload = 0;
  for (int i = 0; i < 4; ++i) payload |= uint32_t{bytes[i]} << (8 * i);
  if (payload > kMaxWorkerFrame) return false;
  if (bytes.size() - kWorkerFrameHeader >= payload) *length = kWorkerFrameHeader + payload;
  return true;
}

WorkerMessage FrameKind(const uint8_t* frame) {
  return static_cast<WorkerMessage>(frame[4]);
}

bool ParseJob(const uint8_t* frame, size_t size, WorkerJob* job) {
  Reader r(frame, size, WorkerMessage::Job);
  size_t settingsSize = 0;
  const uint8_t* settings = r.Bytes(&settingsSize);
  if (!settings || settingsSize != sizeof job->settings) return false;
  std::memcpy(&job->settings, settings, sizeof job->settings);
  job->inputPath = r.Units();
  uint32_t options = r.U32();
  job->options.shrinkOnLoad = (options & kShrinkOnLoadBit) != 0;
  // Bits this program does not know are no job it can do as asked.
  return r.Finished() && (options & ~kShrinkOnLoadBit) == 0;
}

bool ParseHeader(const uint8_t* frame, size_t size, uint64_t* pixels, uint64_t* bytes) {
  Reader r(frame, size, WorkerMessage::Header);
  *pixels = r.U64();
  *bytes = r.U64();
  return r.Finished();
}

bool ParseGo(const uint8_t* frame, size_t size) {
  return Reader(frame, size, WorkerMessage::Go).Finished();
}

bool ParseDecoded(const uint8_t* frame, size_t size, uint32_t* bytesRead) {
  Reader r(frame, size, WorkerMessage::Decoded);
  *bytesRead = r.U32();
  return r.Finished();
}

bool ParseResult(const uint8_t* frame, size_t size, FileWork* work) {
  Reader r(frame, size, WorkerMessage::Result);
  work->error = static_cast<int32_t>(r.U32());
  work->bytesRead = r.U32();
  work->decodeScale = r.U32();
  // A flag is 0 or 1; anything else is a worker gone wrong.
  uint32_t sourceLike = r.U32();
  work->sourceLike = sourceLike == 1;
  work->detail = r.Units();
  size_t count = 0;
  const uint8_t* encoded = r.Bytes(&count);
  if (encoded) work->encoded.assign(encoded, encoded + count);
  return r.Finished() && sourceLike <= 1;
}
