// The existing-files rule.
#include "engine/run/existing_outputs.h"

#include "engine/pipeline/pipeline.h"
#include "settings/app_settings.h"

namespace {

// A counter past this many names of one kind is a folder no one means to fill.
constexpr int32_t kLastCounter = 9999;

struct Found {
  bool exists = false;  // a file or anything else of that name
  bool file = false;
  FileFacts facts;
};

Found Look(TextView path) {
  Found found;
  found.file = FsFileFacts(path, &found.facts);
  found.exists = found.file || FsIsDirectory(path);
  return found;
}

const DoneMark* MarkOf(const OutputQuery& q, TextView path) {
  return q.record ? q.record->Find(PathHash(path)) : nullptr;
}

}  // namespace

Text CounterName(TextView path, int32_t n) {
  size_t name = path.size();
  while (name > 0 && !IsPathSeparator(path[name - 1])) --name;
  size_t dot = path.rfind(u'.');
  if (dot == TextView::npos || dot < name) dot = path.size();
  return Text(path.substr(0, dot)) + u" (" + NumberText(n) + u")" + Text(path.substr(dot));
}

OutputChoice ChooseOutput(const OutputQuery& q, const std::function<bool(TextView)>& takenInRun) {
  OutputChoice choice;
  choice.path = q.outputPath;
  // A source that is itself a result of these settings (a_c.jpg beside a.png, met again
  // in its folder) would only give a second generation (a_c_c.jpg): it is done. A result
  // of other settings is a source like any other.
  const DoneMark* asResult = MarkOf(q, q.inputPath);
  if (asResult && asResult->signature == q.signature && IsOurOutput(asResult, q.source)) {
    choice.action = OutputAction::SkipDone;
    return choice;
  }
  Found at = Look(q.outputPath);
  const DoneMark* mark = MarkOf(q, q.outputPath);
  if (IsDone(mark, q.inputPath, q.source, q.signature, at.file, at.facts) ||
      (!mark && at.file && q.stampSaysDone)) {
    choice.action = OutputAction::SkipDone;
    return choice;
  }
  // Nothing there, something in the way that is no file (the write reports it), or ours.
  if (!at.file || IsOurOutput(mark, at.facts) || q.existingRule == kExistingReplace) return choice;
  if (q.existingRule == kExistingSkip) {
    choice.action = OutputAction::SkipExisting;
    return choice;
  }
  uint64_t source = PathHash(q.inputPath);
  for (int32_t n = 2; n <= kLastCounter; ++n) {
    Text candidate = CounterName(q.outputPath, n);
    if (candidate.size() > kMaxOutputUnits) {
      choice.action = OutputAction::Refused;
      choice.error = kErrorOutputTooLong;
      choice.path = candidate;
      return choice;
    }
    if (takenInRun(candidate)) continue;
    Found there = Look(candidate);
    const DoneMark* own = MarkOf(q, candidate);
    // A name with this source's earlier result is this source's name again.
    bool ours = there.file && own && own->source == source && IsOurOutput(own, there.facts);
    if (there.exists && !ours) continue;
    choice.path = candidate;
    if (IsDone(own, q.inputPath, q.source, q.signature, there.file, there.facts)) choice.action = OutputAction::SkipDone;
    return choice;
  }
  choice.action = OutputAction::Refused;
  choice.error = kErrorOutputTaken;
  return choice;
}
