// The per-file conversion: output path, skip test, read, decode, depth, resize, tag,
// encode, write, stamp. Every buffer and image is owned by the step that made it and
// is gone when that step returns, so a run holds one file's data at a time.
#include "engine/pipeline.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>

#include "diag/filesys.h"
#include "diag/paths.h"
#include "diag/utils.h"
#include "engine/formats.h"
#include "engine/image.h"
#include "engine/picture_budget.h"
#include "engine/worker.h"
#include "engine/run.h"
#include "input/file_list.h"

namespace {

constexpr uint32_t kQuestionTimeoutMs = 6000;
constexpr int32_t kQuestionKind = 6;  // Yes/No with the question icon
constexpr int32_t kDirectoryAttribute = 16;  // what IsDirectory answers for a folder

struct Reason {
  int32_t code;
  const char16_t* text;
  const char16_t* codeText;
};
const Reason kReasons[] = {
    {kErrorEmptyList, u"Список файлов пуст", u" - Error1"},
    {kErrorNoOutputFolder, u"Не указана выходная директория", u" - Error: 2"},
    {kErrorEmptyInputName, u"Пустое имя входного файла", u" - Error: 3"},
    {kErrorReadToBuffer, u"Ошибка чтения файла в буфер", u" - Error: 4"},
    {kErrorNotReadable, u"Формат не поддерживается", u" - Error: 7"},
    {kErrorUnknownFormat, u"Формат не поддерживается", u" - Error: 8"},
    {kErrorBufferUnreadable, u"Ошибка чтения файла из буфера", u" - Error: 9"},
    {kErrorWriteFile, u"Ошибка записи файла", u" - Error: 10"},
    {kErrorCannotEncode, u"Формат не поддерживается для записи", u" - Error: 11"},
    {kErrorUnknownTarget, u"Неизвестный выходной формат", u" - Error: 12"},
    {kErrorTruncated, u"Файл повреждён: данные обрываются", u" - Error: 13"},
    {kErrorOutputIsSource, u"Результат заменил бы исходный файл", u" - Error: 14"},
    {kErrorOutputTaken, u"Результат с этим именем уже записан в этом запуске", u" - Error: 15"},
    {kErrorWorkerCrashed, u"Сбой библиотеки изображений при обработке файла", u" - Error: 16"},
    {kErrorTimeLimit, u"Файл обрабатывается слишком долго", u" - Error: 17"},
    {kErrorTooLarge, u"Изображение слишком велико", u" - Error: 18"},
};

struct RunContext {
  uint32_t stamp = 0;  // what converted entries carry: ConversionStamp of the signature
  int32_t count = 0;
  Text outputFolder;  // mode 0 only
  // The outputs this run has written or found up to date (FsPathKey), with the input
  // each came from.
  std::unordered_map<Text, Text> outputs;
};

enum class Outcome { Converted, Skipped, Failed };

struct EntryResult {
  Outcome outcome = Outcome::Failed;
  int32_t answer = 0;
  int32_t error = 0;
  Text inputPath;
  Text fileName;
  Text detail;
};

int32_t TargetId() {
  return FormatIdFromName(FieldView(gAppSettings.TargetFormat));
}

int32_t TargetFlags() {
  return SaveFlagsFor(gAppSettings, gAppSettings.FormatId);
}

// The checks before the first file. A code other than 0 ends the run after its
// question, whatever the answer.
int32_t PrepareRun(RunContext* run) {
  run->stamp = ConversionStamp(SettingsSignature(gAppSettings, true));
  run->count = FileListCount();
  if (run->count == 0) return kErrorEmptyList;
  if (gAppSettings.OutputMode == 0) {
    TextView folder = FieldView(gAppSettings.OutputFolder);
    if (folder.empty()) return kErrorNoOutputFolder;
    run->outputFolder = WithTrailingBackslash(folder);
  }
  if (!CanWriteFormat(TargetId())) return kErrorUnknownTarget;
  if (gAppSettings.OutputMode == 0) FsCreateDirectory(run->outputFolder);
  return 0;
}

// A side that rounds to nothing would leave the picture unresized (the rescale refuses
// 0) while the run reports it converted: every side keeps at least one pixel.
int32_t RoundedSide(double value) {
  // nearbyint rounds halves to even under the default rounding mode.
  double r = std::nearbyint(value);
  if (!(r >= 1)) return 1;
  return r <= INT32_MAX ? static_cast<int32_t>(r) : INT32_MAX;
}

ResizePlan Resized(double width, double height) {
  return ResizePlan{true, RoundedSide(width), RoundedSide(height)};
}

// Replaces the current image by a later stage's, releasing the earlier one at once;
// a stage that yields nothing leaves the current image in place.
void KeepIfMade(Image* current, Image made) {
  if (made) *current = std::move(made);
}

Image AdaptDepth(const Image& image, int32_t targetId) {
  switch (targetId) {
    case kFormatJpeg: return ImageBpp(image) != 24 ? ConvertTo24Bits(image) : Image();
    case kFormatWebp: return ConvertTo32Bits(image);
    case kFormatPng: return HasFlag(TargetFlags(), kPng256ColourFlag) ? ReduceToPalette(image) : Image();
    case kFormatGif: return ReduceToPalette(image);
    default: return Image();
  }
}

bool WantsPalette(int32_t targetId) {
  return targetId == kFormatGif || (targetId == kFormatPng && HasFlag(TargetFlags(), kPng256ColourFlag));
}

// The decoded image made ready for the target: 8 bits per channel first (16-bit and
// float pictures have no encoder among the targets), then depth, then size. The
// rescale widens a colour palette to true colour, so a palette target that is resized
// is reduced to its palette afterwards instead: otherwise a resized GIF could not be
// written at all and a "256 colours" PNG would come out in full colour.
Image PrepareImage(Image image, int32_t targetId) {
  uint32_t width = ImageWidth(image), height = ImageHeight(image);
  if (!IsStandardBitmap(image)) KeepIfMade(&image, ConvertToStandardBitmap(image));
  ResizePlan size = PlanResize(ResizeRuleFrom(gAppSettings), width, height);
  bool paletteLast = size.resize && WantsPalette(targetId);
  if (!paletteLast) KeepIfMade(&image, AdaptDepth(image, targetId));
  if (size.resize) KeepIfMade(&image, RescaleLanczos3(image, size.width, size.height));
  if (paletteLast) KeepIfMade(&image, AdaptDepth(image, targetId));
  return image;
}

// An encoder is never handed an image it does not declare it can take; the wider
// forms are the ones every target here accepts.
Image EncodableForm(Image image, int32_t targetId) {
  if (CanEncode(targetId, image)) return image;
  if (ImageHasAlpha(image)) {
    Image withAlpha = ConvertTo32Bits(image);
    if (CanEncode(targetId, withAlpha)) return withAlpha;
  }
  Image plain = ConvertTo24Bits(image);
  return CanEncode(targetId, plain) ? std::move(plain) : Image();
}

int32_t EncodeToMemory(Image image, int32_t targetId, std::vector<uint8_t>* encoded) {
  image = EncodableForm(std::move(image), targetId);
  if (!image) return kErrorCannotEncode;
  SetSoftwareTag(image, kSoftwareTag);  // a refused tag is no reason to fail the file
  if (EncodeImage(image, targetId, TargetFlags(), encoded)) return 0;
  // Some writers fail on what the source carried (FreeImage's PNG writer on a text
  // chunk with an empty keyword): the picture is worth more than its notes.
  if (!DropMetadata(image)) return kErrorCannotEncode;
  SetSoftwareTag(image, kSoftwareTag);
  return EncodeImage(image, targetId, TargetFlags(), encoded) ? 0 : kErrorCannotEncode;
}

Text ReadFailure(ReadResult result) {
  switch (result) {
    case ReadResult::TooLarge: return u"Файл размером 4 ГБ или больше";
    case ReadResult::CannotOpen: return u"Не удалось открыть файл: " + FsLastErrorText();
    default: return u"Ошибка чтения: " + FsLastErrorText();
  }
}

// The header is read before any pixel: a picture beyond the budget is refused while
// it has cost nothing.
int32_t CheckHeader(const std::vector<uint8_t>& buffer, const FileWorkEvents& events, Text* detail) {
  PictureHeader header;
  ReadPictureHeader(buffer.data(), static_cast<uint32_t>(buffer.size()), &header);
  ResizePlan planned = PlanResize(ResizeRuleFrom(gAppSettings), header.width, header.height);
  if (int32_t error = CheckPictureBudget(header, planned, detail)) return error;
  uint64_t pixels = uint64_t{header.width} * header.height;
  if (planned.resize) pixels = std::max(pixels, uint64_t(planned.width) * uint64_t(planned.height));
  if (events.onHeader) events.onHeader(pixels);
  return 0;
}

// The file's bytes live only until the image is decoded.
int32_t ReadAndDecode(TextView path, const FileWorkEvents& events, Image* image, uint32_t* bytesRead,
                      Text* detail) {
  std::vector<uint8_t> buffer;
  ReadResult read = FsReadWholeFile(path, &buffer);
  if (read != ReadResult::Ok) buffer.clear();
  *bytesRead = static_cast<uint32_t>(buffer.size());
  // Only a file that could not be read, or holds nothing, stops here: valid pictures
  // can be tiny (a GIF of 43 bytes, a WebP of 36).
  if (read != ReadResult::Ok) *detail = ReadFailure(read);
  else if (*bytesRead == 0) *detail = u"Файл пуст (0 байт)";
  if (!detail->empty()) return kErrorReadToBuffer;
  if (int32_t error = CheckHeader(buffer, events, detail)) return error;
  int32_t error = 0;
  *image = LoadImageFromBuffer(buffer.data(), *bytesRead, &error);
  // A recognised format whose reader still gave no image cannot be read either.
  if (error == 0 && !*image) error = kErrorNotReadable;
  return error;
}

// Encodes first and writes through a temporary file, so an earlier output is never
// replaced by an empty or partial one. The temporary is made before any work: a folder
// that cannot take the file is reported at once, with the system's reason.
int32_t ConvertOne(const RunContext& run, int32_t index, const OutputPlan& plan, Text* detail) {
  PendingFile output;
  Text reason;
  if (!FsBeginReplace(plan.outputPath, &output, &reason)) {
    *detail = DisplayText(plan.outputPath) + u": " + reason;
    return kErrorWriteFile;
  }
  FileWork work = RunFileWork(plan.inputPath, [&](uint32_t bytesRead) {
    ShowProgress(index, run.count, bytesRead, plan.fileName);
  });
  if (work.error != 0) {
    FsAbandonReplace(&output);
    *detail = std::move(work.detail);
    return work.error;
  }
  if (!FsCommitReplace(&output, work.encoded.data(), work.encoded.size(), &reason)) {
    *detail = DisplayText(plan.outputPath) + u": " + reason;
    return kErrorWriteFile;
  }
  return 0;
}

bool IsUpToDate(const RunContext& run, int32_t index, const OutputPlan& plan) {
  return FileListStamp(index) == run.stamp && FsFileExists(plan.outputPath);
}

// The stamp goes to the entry only while it still holds the file that was converted:
// entries deleted during the run shift the later ones down.
void Stamp(const RunContext& run, int32_t index, const OutputPlan& plan) {
  if (FileListText(index) == plan.inputPath) FileListSetStamp(index, run.stamp);
}

// The output another entry of this run already wrote or holds up to date, if any:
// within one run, a second source never replaces the first one's result.
const Text* EarlierSource(const RunContext& run, const OutputPlan& plan) {
  auto found = run.outputs.find(FsPathKey(plan.outputPath));
  return found == run.outputs.end() || found->second == plan.inputPath ? nullptr : &found->second;
}

int32_t CheckAndConvert(const RunContext& run, int32_t index, const OutputPlan& plan, EntryResult* entry) {
  bool needsFolder = gAppSettings.OutputMode == 1 && IsDirectory(plan.outputFolder) != kDirectoryAttribute;
  if (needsFolder) FsCreateDirectory(plan.outputFolder);
  // An output folder that is the source folder and a target of the source's own type
  // (IMG.JPG to IMG.jpg is one file on Windows) would put the converted picture in
  // place of the original.
  if (FsSameFile(plan.inputPath, plan.outputPath)) return kErrorOutputIsSource;
  if (const Text* earlier = EarlierSource(run, plan)) {
    entry->detail = DisplayText(plan.outputPath) + u" — из файла " + DisplayText(*earlier);
    return kErrorOutputTaken;
  }
  if (IsUpToDate(run, index, plan)) {
    entry->outcome = Outcome::Skipped;
    return 0;
  }
  return ConvertOne(run, index, plan, &entry->detail);
}

EntryResult ProcessEntry(RunContext& run, int32_t index) {
  OutputPlan plan = PlanOutput(gAppSettings, FileListText(index), run.outputFolder);
  EntryResult entry;
  entry.inputPath = plan.inputPath;
  entry.fileName = plan.fileName;
  int32_t error = plan.error != 0 ? plan.error : CheckAndConvert(run, index, plan, &entry);
  if (error != 0) {
    entry.outcome = Outcome::Failed;
    entry.error = error;
    entry.answer = ReportConvertError(error, plan.fileName, entry.detail);
    return entry;
  }
  run.outputs.emplace(FsPathKey(plan.outputPath), plan.inputPath);
  if (entry.outcome == Outcome::Skipped) {
    ShowProgress(index, run.count, 0, plan.fileName);
  } else {
    Stamp(run, index, plan);
    entry.outcome = Outcome::Converted;
  }
  return entry;
}

void Count(RunResult* result, Outcome outcome) {
  switch (outcome) {
    case Outcome::Converted: ++result->converted; break;
    case Outcome::Skipped: ++result->skipped; break;
    case Outcome::Failed: ++result->failed; break;
  }
}

}  // namespace

uint32_t ConversionStamp(uint32_t signature) {
  return signature == 0 ? kStampForSignatureZero : signature;
}

Text BaseName(TextView fileName) {
  size_t dot = fileName.rfind(u'.');
  return Text(dot == TextView::npos ? fileName : fileName.substr(0, dot));
}

OutputPlan PlanOutput(const AppSettings& settings, TextView inputPath, TextView runOutputFolder) {
  OutputPlan plan;
  plan.inputPath = Text(inputPath);
  PathParts parts = SplitPath(inputPath);
  plan.fileName = parts.name;
  if (inputPath.empty() || parts.folder.empty()) {
    plan.error = kErrorEmptyInputName;
    return plan;
  }
  plan.sourceFolder = WithTrailingBackslash(parts.folder);
  Text extension = ToLower(FieldView(settings.TargetFormat));
  Text base = BaseName(parts.name);
  Text outputName = base + u"." + extension;
  if (settings.OutputMode == 2) {
    plan.outputFolder = plan.sourceFolder;
    outputName = base + u"_c." + extension;
  } else if (settings.OutputMode == 1) {
    plan.outputFolder = WithTrailingBackslash(plan.sourceFolder + Text(FieldView(settings.SubfolderName)));
  } else {
    plan.outputFolder = Text(runOutputFolder);
  }
  // Only a damaged settings file has a mode without a folder; never write beside the
  // current directory instead.
  if (plan.outputFolder.empty()) plan.error = kErrorNoOutputFolder;
  plan.outputPath = plan.outputFolder + outputName;
  return plan;
}

ResizeRule ResizeRuleFrom(const AppSettings& s) {
  return ResizeRule{s.ResizeMode, s.ResizeSide, s.TargetSize, s.ScalePercent, s.NoEnlarge != 0};
}

ResizePlan PlanResize(const ResizeRule& rule, uint32_t width, uint32_t height) {
  double w = width, h = height;
  if (rule.mode == 2) return Resized(rule.percent * w / 100, rule.percent * h / 100);
  if (rule.mode != 1) return ResizePlan();
  double t = rule.targetSize;
  // The longer side decides for every side choice.
  if (rule.noEnlarge && std::max(w, h) < t) return ResizePlan();
  switch (rule.side) {
    case 1: return h <= w ? Resized(t, h * (t / w)) : Resized(w * (t / h), t);
    case 2: return h < w ? Resized(w * (t / h), t) : Resized(t, h * (t / w));
    case 3: return Resized(t, h * (t / w));
    case 4: return Resized(w * (t / h), t);
    default: return Resized(w, h);
  }
}

uint32_t ReadFileToBuffer(TextView path, std::vector<uint8_t>* buffer) {
  if (FsReadWholeFile(path, buffer) != ReadResult::Ok) {
    buffer->clear();
    return 0;
  }
  return static_cast<uint32_t>(buffer->size());
}

Text ConvertErrorReason(int32_t code) {
  for (const Reason& row : kReasons)
    if (row.code == code) return Text(row.text) + row.codeText;
  return Text();
}

Text ConvertErrorText(int32_t code, TextView fileName, TextView detail) {
  Text particulars = detail.empty() ? Text() : DisplayText(detail) + u"\r\n";
  return DisplayText(fileName) + u"\r\n" + ConvertErrorReason(code) + u"\r\n" + particulars + u"Продолжить выполнение ?";
}

int32_t ReportConvertError(int32_t code, TextView fileName, TextView detail) {
  return TimedMessageBox(ConvertErrorText(code, fileName, detail), u"Ошибка выполнения преобразования", 0,
                         kQuestionKind, kQuestionTimeoutMs);
}

FileWork ConvertFileToMemory(TextView inputPath, const FileWorkEvents& events) {
  FileWork work;
  Image decoded;
  work.error = ReadAndDecode(inputPath, events, &decoded, &work.bytesRead, &work.detail);
  if (work.error != 0) return work;
  if (events.onDecoded) events.onDecoded(work.bytesRead);
  int32_t targetId = TargetId();
  work.error = EncodeToMemory(PrepareImage(std::move(decoded), targetId), targetId, &work.encoded);
  return work;
}

void ConvertFiles(RunResult* result) {
  RunContext run;
  if (int32_t error = PrepareRun(&run)) {
    result->runError = error;
    ReportConvertError(error, Text());
    return;
  }
  // The end of the list is read again for every entry: files handed over during the
  // run are appended and converted by it, deleted entries end it sooner.
  for (int32_t i = 0; i < (run.count = FileListCount()); ++i) {
    EntryResult entry = ProcessEntry(run, i);
    Count(result, entry.outcome);
    if (entry.outcome == Outcome::Failed) result->failures.push_back({entry.inputPath, entry.error});
    if (entry.outcome == Outcome::Skipped) continue;  // a skipped file is no processed file
    if (entry.answer == kIdNo) {
      result->end = RunEnd::Declined;
      break;
    }
    if (gRunState.load() == kRunIdle) {
      result->end = RunEnd::Stopped;
      break;
    }
    DebugTrace(u"Index:" + NumberWithBlank(i) + u", Name: " + entry.fileName);
  }
  StopFileWorker();
}
