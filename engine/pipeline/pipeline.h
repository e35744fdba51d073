// The steps of one file, which know nothing of the list, the run or its progress: where
// its result goes, what size it becomes, and the decode-to-encode work itself, with the
// question a failure asks. The run (engine/run/convert_files.h) drives them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/text.h"
#include "engine/codecs/decode.h"
#include "settings/app_settings.h"

// Error codes a run reports through the error question. 7, 8 and 9 come from the
// decoder (engine/codecs/image.h).
constexpr int32_t kErrorEmptyList = 1;        // ends the run
constexpr int32_t kErrorNoOutputFolder = 2;   // ends the run
constexpr int32_t kErrorEmptyInputName = 3;
constexpr int32_t kErrorReadToBuffer = 4;
// Codes of our own for what the decoder and encoder alone cannot tell:
// 10: the encoded bytes could not be written to the output path (folder missing or
//     not writable, disk full). The file is written to a temporary name and renamed
//     over the target, so an earlier output stays whole.
// 11: the target's encoder refused this image even in its 24- or 32-bit form, or
//     produced nothing. Nothing is written.
// 12: the target name is not a format FreeImage can write (not in the format table,
//     or a read-only format). No file could ever succeed, so it is asked once at the
//     start and ends the run like codes 1 and 2.
// 13 (from the decoder): a JPEG cut off inside its picture data.
// 14: the output path names the source file itself; converting would replace the
//     original, so the file is left alone.
constexpr int32_t kErrorWriteFile = 10;
constexpr int32_t kErrorCannotEncode = 11;
constexpr int32_t kErrorUnknownTarget = 12;
constexpr int32_t kErrorOutputIsSource = 14;  // the output would replace the file it comes from
// 15: an earlier entry of this run already wrote (or holds, skipped) the same output:
//     photo.png and photo.gif both give photo.webp. The first result stays.
// 16: decoding or encoding crashed inside the image library; the worker process that
//     ran it ended, the run goes on with a fresh one.
// 17: the file was still being converted when its time ran out (a small picture whose
//     reader loops, say); its worker process was ended.
// 18 (kErrorTooLarge, engine/codecs/decode.h): the header declares a picture beyond the
//     pixel or memory budget (engine/pipeline/picture_budget.h), or the planned resize
//     would make one.
// 19 and 20 (from the decoders): a damaged file; a picture of high dynamic range.
constexpr int32_t kErrorOutputTaken = 15;
constexpr int32_t kErrorWorkerCrashed = 16;
constexpr int32_t kErrorTimeLimit = 17;
// 21: a folder of a walked tree could not be listed; the run names it among its
//     failures (no question: nothing was tried) and the rest of the tree was listed.
constexpr int32_t kErrorFolderUnreadable = 21;
// 22: the output path would be longer than kMaxOutputUnits: a file no program without
//     long-path support opens, and one this program could not list again. Nothing is
//     written; the path is named.
constexpr int32_t kErrorOutputTooLong = 22;
constexpr size_t kMaxOutputUnits = 260;

// The metadata value every converted image carries under the IPTC key "Software".
constexpr char kSoftwareTag[] = "KRV-Delmo-Tessaly-V1.X";


// What the decode-to-encode steps of one file give back.
struct FileWork {
  int32_t error = 0;
  Text detail;             // the particulars of a failure, for the question
  uint32_t bytesRead = 0;
  uint32_t decodeScale = 1;  // 2, 4 or 8 when the JPEG was decoded that much smaller
  // The result is of the source's own format and pixel size (upright): only then may
  // the source stand in for a larger result (keep if smaller).
  bool sourceLike = false;
  std::vector<uint8_t> encoded;
};
// Keep if smaller: the source itself is the better result when the option is on, the
// result is of its format and size, and the result came out larger than the file.
bool SourceIsBetter(bool keepIfSmaller, const FileWork& work);
struct FileWorkOptions {
  bool shrinkOnLoad = true;  // engine/pipeline/shrink_on_load.h
};
// What the steps tell as they go. onHeader: the header passed the budget, with the
// pixels of the larger of the picture and its planned result (for the time limit) and
// the bytes the conversion will hold at its peak; the work waits in it until it may
// go on, and ends when it answers false. onDecoded: the picture is decoded.
struct FileWorkEvents {
  std::function<bool(uint64_t pixels, uint64_t bytes)> onHeader;
  std::function<void(uint32_t bytesRead)> onDecoded;
};
// Reads, checks the header against the budget, decodes, adapts, resizes, tags and
// encodes one file into memory with the given settings (the job's own copy: nothing
// here reads the process's settings record). This is the work a worker process does
// for each job; it writes nothing.
FileWork ConvertFileToMemory(const AppSettings& settings, TextView inputPath, const FileWorkOptions& options,
                             const FileWorkEvents& events);

// The stamp a converted entry carries: the run's settings signature, except that a
// signature of 0 (an ordinary XOR of ordinary settings, e.g. --size 8294 with the
// defaults) must not look like "never converted", which every new entry is. It shares
// its stamp with the signature 0xFFFFFFFF, as unrelated settings may share any value.
constexpr uint32_t kStampForSignatureZero = 0xFFFFFFFF;
uint32_t ConversionStamp(uint32_t signature);

// Reads the whole file into buffer; the number of bytes read, 0 on any failure
// (missing file, 4 GiB or more). Long-path forms are the file-system port's business.
uint32_t ReadFileToBuffer(TextView path, std::vector<uint8_t>* buffer);

// Where one input file's result goes. error is 3 when the input path cannot be split.
struct OutputPlan {
  Text inputPath;
  Text sourceFolder;
  Text fileName;
  Text outputFolder;
  Text outputPath;
  int32_t error = 0;
};
// runOutputFolder is the run's folder for mode 0 (already with its separator) and is
// ignored by modes 1 and 2. rootUnits: the entry's root (FileListRootUnits); in mode 0 a
// file found under a folder goes to its path below that folder, made again below the
// output folder (Out\2024\Trip\a.jpg), a file given by itself straight into it. An
// output path longer than kMaxOutputUnits is error 22. Creates nothing.
OutputPlan PlanOutput(const AppSettings& settings, TextView inputPath, TextView runOutputFolder,
                      int32_t rootUnits = 0);
// The file name up to its last '.', or the whole name when it has none.
Text BaseName(TextView fileName);

// The new size of a w x h image, or resize == false when it stays as it is.
struct ResizeRule {
  int32_t mode = 0;  // 0 none, 1 pixels, 2 percent
  int32_t side = 0;  // 1 longer, 2 shorter, 3 width, 4 height
  int32_t targetSize = 0;
  int32_t percent = 0;
  bool noEnlarge = false;
};
struct ResizePlan {
  bool resize = false;
  int32_t width = 0;
  int32_t height = 0;
};
ResizeRule ResizeRuleFrom(const AppSettings& settings);
ResizePlan PlanResize(const ResizeRule& rule, uint32_t width, uint32_t height);
