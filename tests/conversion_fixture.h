// What the conversion tests share: a clean run setting, sample images written by
// FreeImage itself, and a way to open a result again.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/filesys.h"
#include "base/utils.h"
#include "settings/formats.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/encode.h"
#include "tests/sample_images.h"
#include "engine/pipeline/pipeline.h"
#include "engine/run/run.h"
#include "input/file_list.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"

// Default settings, an empty list, no boxes, a run in progress, one file at a time.
inline void ResetConversion(const ScratchFolder& scratch) {
  SetRunOptions(RunOptions{1, true, 0, Text()});
  std::memset(&gAppSettings, 0, sizeof gAppSettings);
  ApplyDefaultSettings(&gAppSettings, scratch.Path());
  FileListClear();
  ResetBoxes();
  ResetFakeUi();
  gRunState = kRunRunning;
  InitImageLibrary();
}

inline void SetTarget(const char16_t* name) {
  SetField(gAppSettings.TargetFormat, name);
  gAppSettings.FormatId = FormatIdFromName(name);
}

inline std::vector<uint8_t> SampleBytes(SampleKind kind, uint32_t width, uint32_t height, int32_t format,
                                        int32_t flags = 0) {
  Image image = CreateSampleImage(kind, width, height);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeImage(image, format, flags, &bytes)) << "format " << format;
  return bytes;
}

inline void WriteBytes(const ScratchFolder& scratch, const std::string& name, const std::vector<uint8_t>& bytes) {
  scratch.Write(name, std::string(bytes.begin(), bytes.end()));
}

inline void WriteSample(const ScratchFolder& scratch, const std::string& name, uint32_t width, uint32_t height,
                        SampleKind kind = SampleKind::Rgb24, int32_t format = kFormatPng) {
  WriteBytes(scratch, name, SampleBytes(kind, width, height, format));
}

// Appends a file of the scratch folder to the list; returns its index.
inline int32_t AddEntry(const ScratchFolder& scratch, const std::string& name) {
  return FileListAppend(scratch.Path(name));
}

struct Opened {
  bool ok = false;
  uint32_t width = 0, height = 0, bpp = 0;
  bool alpha = false;
};

inline Opened OpenResult(const ScratchFolder& scratch, const std::string& name) {
  std::vector<uint8_t> bytes;
  Opened out;
  if (FsReadWholeFile(scratch.Path(name), &bytes) != ReadResult::Ok) return out;
  int32_t error = 0;
  Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
  out.ok = image && error == 0;
  out.width = ImageWidth(image);
  out.height = ImageHeight(image);
  out.bpp = ImageBpp(image);
  out.alpha = ImageHasAlpha(image);
  return out;
}

inline RunResult RunConversion() {
  RunResult result;
  ConvertFiles(gAppSettings, &result);
  return result;
}

// The reason line of the question shown for the n-th box.
inline Text BoxReason(size_t n) {
  if (n >= gShownBoxes.size()) return Text();
  const Text& text = gShownBoxes[n].text;
  size_t first = text.find(u"\r\n");
  size_t second = text.find(u"\r\n", first + 2);
  return text.substr(first + 2, second - first - 2);
}

// A run beside the sources (output mode 2) in a scratch folder of its own.
class ConversionTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetConversion(scratch);
    gAppSettings.OutputMode = 2;
  }
  void TearDown() override { gRunState = kRunIdle; }
  ScratchFolder scratch;
};
