// What this program wrote in earlier runs, kept in a file beside Config.dat, so that a
// run after a restart (or one of tessaly-batch) knows which outputs are its own and which
// of them are done: same source, unchanged, same settings.
//
// A record beside the settings rather than a mark inside each output: it writes nothing
// into the user's folders but the outputs, and it works for every output alike, those
// that keep no metadata included (a JPG with --strip on, a BMP). A mark inside the
// output would be lost by any program that edits the picture and could not tell a file
// copied over ours from ours.
//
// The file is written whole (a temporary renamed over it); one that is damaged, cut short
// or of another layout is taken for an empty record, never trusted in part. It holds at
// most kMaxDoneMarks marks: past that, the oldest give way.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/filesys.h"
#include "base/text.h"

constexpr size_t kMaxDoneMarks = 262144;
constexpr char16_t kDoneRecordName[] = u"Converted.dat";
// The outputSize of a mark whose source was kept and nothing written (keep if smaller,
// beside the source).
constexpr uint64_t kNothingWritten = ~uint64_t{0};

// One output as it was written. Paths are kept as 64-bit hashes of their FsPathKey.
struct DoneMark {
  uint64_t output = 0;
  uint64_t source = 0;
  uint64_t sourceSize = 0;
  int64_t sourceTime = 0;
  uint64_t outputSize = 0;
  int64_t outputTime = 0;
  uint32_t signature = 0;  // the run's conversion stamp
  uint32_t sequence = 0;   // order of writing: the oldest give way first
};

uint64_t PathHash(TextView path);
// The record's file beside the settings file.
Text DoneRecordPathBeside(TextView configPath);

class DoneRecord {
 public:
  // Reads the file; a missing, damaged or foreign one leaves the record empty (false).
  bool Load(TextView path);
  // Writes the marks noted since Load over what the file holds now (another program may
  // have written it meanwhile), keeping the newest kMaxDoneMarks; false when it could not
  // be written.
  bool Save(TextView path);

  const DoneMark* Find(uint64_t output) const;
  void Note(DoneMark mark);
  size_t size() const { return marks_.size(); }

  // The file's bytes for these marks, and the marks of such bytes (false: not a record).
  static std::vector<uint8_t> Encode(const std::vector<DoneMark>& marks);
  static bool Decode(const std::vector<uint8_t>& bytes, std::vector<DoneMark>* marks);

 private:
  std::unordered_map<uint64_t, DoneMark> marks_;
  std::unordered_set<uint64_t> noted_;
  uint32_t nextSequence_ = 1;
};

// The output at that path is one this program wrote: the record has it as it is now
// (same size, same time), so no one has replaced it since.
bool IsOurOutput(const DoneMark* mark, const FileFacts& output);
// Nothing needs doing for this source: its output is ours (or its source was kept in
// place of a larger result and nothing written), made from this very source as it is now,
// with these settings.
bool IsDone(const DoneMark* mark, TextView inputPath, const FileFacts& source, uint32_t signature, bool outputExists,
            const FileFacts& output);
