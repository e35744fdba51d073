// The texts other programs hand us: a Windows command line (split into tokens, its tail
// after the program path), the hand-over record between two instances, and the
// arguments of tessaly-batch.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch_options.h"
#include "app/handover.h"
#include "input/collect.h"
#include "settings/defaults.h"

namespace {

void CommandLine(TextView text) {
  for (const Text& token : SplitCommandText(text))
    if (token.size() > kMaxTokenUnits) std::abort();
  Text tail = CommandLineTail(text);
  if (tail.size() > text.size()) std::abort();
  WantsHiddenStart(tail);
  HandoverRecord record;
  std::memset(&record, 0xAB, sizeof record);
  SetHandoverText(&record, tail);
  Text handed = HandoverText(record);
  // What arrives is the tail up to its first NUL, cut to the record's capacity.
  Text expected = tail.substr(0, std::min(tail.find(u'\0'), kHandoverTextUnits));
  if (handed != expected) std::abort();
}

void BatchArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.push_back(std::move(current)), current.clear();
    else
      current.push_back(static_cast<char>(data[i]));
  }
  args.push_back(current);
  BatchOptions options;
  std::string reason;
  if (!ParseBatchArgs(args, &options, &reason)) return;
  AppSettings settings{};
  ApplyDefaultSettings(&settings, u"/p");
  ApplyOverrides(options, &settings);
  SettingsListing(settings);
  if (settings.TargetSize < 1 || settings.TargetSize > 10000) std::abort();
  if (settings.ScalePercent < 1 || settings.ScalePercent > 1000) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Text text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  CommandLine(text);
  BatchArguments(data, size);
  return 0;
}
