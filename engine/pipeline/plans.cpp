// Where one file's result goes and what size it becomes.
#include <algorithm>
#include <climits>
#include <cmath>

#include "base/filesys.h"
#include "base/paths.h"
#include "engine/pipeline/pipeline.h"
#include "settings/formats.h"

namespace {

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

}  // namespace

uint32_t ConversionStamp(uint32_t signature) {
  return signature == 0 ? kStampForSignatureZero : signature;
}

Text BaseName(TextView fileName) {
  size_t dot = fileName.rfind(u'.');
  return Text(dot == TextView::npos ? fileName : fileName.substr(0, dot));
}

OutputPlan PlanOutput(const AppSettings& settings, TextView inputPath, TextView runOutputFolder,
                      int32_t rootUnits) {
  OutputPlan plan;
  plan.inputPath = Text(inputPath);
  PathParts parts = SplitPath(inputPath);
  plan.fileName = parts.name;
  if (inputPath.empty() || parts.folder.empty()) {
    plan.error = kErrorEmptyInputName;
    return plan;
  }
  plan.sourceFolder = WithTrailingBackslash(parts.folder);
  Text extension = OutputExtension(FieldView(settings.TargetFormat));
  Text base = BaseName(parts.name);
  Text outputName = base + u"." + extension;
  if (settings.OutputMode == 2) {
    plan.outputFolder = plan.sourceFolder;
    outputName = base + u"_c." + extension;
  } else if (settings.OutputMode == 1) {
    plan.outputFolder = WithTrailingBackslash(plan.sourceFolder + Text(FieldView(settings.SubfolderName)));
  } else if (!runOutputFolder.empty()) {
    plan.outputFolder = Text(runOutputFolder) + FoldersBelowRoot(inputPath, rootUnits > 0 ? rootUnits : 0);
  }
  // Only a damaged settings file has a mode without a folder; never write beside the
  // current directory instead.
  if (plan.outputFolder.empty()) plan.error = kErrorNoOutputFolder;
  plan.outputPath = plan.outputFolder + outputName;
  if (plan.error == 0 && plan.outputPath.size() > kMaxOutputUnits) plan.error = kErrorOutputTooLong;
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
