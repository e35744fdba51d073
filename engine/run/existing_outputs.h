// What a run does about the file already at an output's path: nothing there, or a file
// this program wrote (the record says so), is written over; one that is done (the same
// source, unchanged, the same settings) is skipped; a file that is not ours is replaced,
// left alone, or given a neighbour with a counter (name (2).jpg), as the user chose. A
// source that is itself this program's result of the same settings is done as well.
#pragma once

#include <cstdint>
#include <functional>

#include "base/filesys.h"
#include "base/text.h"
#include "engine/run/done_record.h"

enum class OutputAction {
  Write,         // convert and write at path
  SkipDone,      // the output there is this source's, done with these settings
  SkipExisting,  // a file not ours is there and the user keeps such files
  Refused,       // error says why (no counter name left, a counter name too long)
};

struct OutputQuery {
  Text inputPath;
  FileFacts source;
  Text outputPath;             // the path the plan gave
  int32_t existingRule = 0;    // kExistingReplace, kExistingSkip or kExistingCounter
  const DoneRecord* record = nullptr;  // none: nothing is known of earlier sessions
  uint32_t signature = 0;      // the run's conversion stamp
  // The list entry was converted by this session with these settings; stands in for the
  // record where it has no mark for the output (the record could not be written, say).
  bool stampSaysDone = false;
};

struct OutputChoice {
  OutputAction action = OutputAction::Write;
  Text path;  // where to write, or what is skipped
  int32_t error = 0;
};

// takenInRun: whether another entry of this run writes (or wrote) that path; a counter
// name is never one of them. A file that is not ours is never replaced in counter mode,
// nor is a counter name that holds another source's output.
OutputChoice ChooseOutput(const OutputQuery& query, const std::function<bool(TextView)>& takenInRun);

// "name (n).ext" beside the path: the counter goes before the extension of the name.
Text CounterName(TextView path, int32_t n);
