// The messages between a run and its worker process. Each is a frame: a 32-bit payload
// length, a kind byte, the payload; numbers little-endian, texts as UTF-16 units with a
// count. The parser trusts nothing: a worker that went wrong may send anything.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "engine/pipeline/pipeline.h"
#include "settings/app_settings.h"

enum class WorkerMessage : uint8_t {
  Job = 'J',      // run -> worker: the settings record, the input path, the options
  Header = 'H',   // worker -> run: the header passed; the pixels of the larger of the
                  // picture and its result, the bytes the conversion will hold
  Go = 'G',       // run -> worker: the memory is there, decode
  Decoded = 'D',  // worker -> run: the picture is decoded; the bytes read
  Result = 'R',   // worker -> run: error, bytes read, decode scale, whether the result is of
                  // the source's format and size, detail, encoded bytes
};

// A frame larger than this is a broken worker, not a picture.
constexpr uint32_t kMaxWorkerFrame = 0x7FFF0000;
constexpr size_t kWorkerFrameHeader = 5;

struct WorkerJob {
  AppSettings settings;
  Text inputPath;
  FileWorkOptions options;
};

std::vector<uint8_t> JobFrame(const WorkerJob& job);
std::vector<uint8_t> HeaderFrame(uint64_t pixels, uint64_t bytes);
std::vector<uint8_t> GoFrame();
std::vector<uint8_t> DecodedFrame(uint32_t bytesRead);
std::vector<uint8_t> ResultFrame(const FileWork& work);

// The length of the first whole frame at the start of bytes, 0 while it is incomplete;
// false when the bytes cannot be a frame at all.
bool WholeFrameLength(const std::vector<uint8_t>& bytes, size_t* length);

// Each takes one whole frame; false when it is not of that kind or malformed.
bool ParseJob(const uint8_t* frame, size_t size, WorkerJob* job);
bool ParseHeader(const uint8_t* frame, size_t size, uint64_t* pixels, uint64_t* bytes);
bool ParseGo(const uint8_t* frame, size_t size);
bool ParseDecoded(const uint8_t* frame, size_t size, uint32_t* bytesRead);
bool ParseResult(const uint8_t* frame, size_t size, FileWork* work);
WorkerMessage FrameKind(const uint8_t* frame);
