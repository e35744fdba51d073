// HEIF, AVIF and JPEG XL in the window: a phone's HEIC to an upright JPG, an AVIF with
// alpha to a PNG that keeps it, a JPG to AVIF and to JPEG XL (scripts/test-e2e.sh then
// decodes those with avifdec and djxl and compares both programs' bytes), the two new
// option panels and their words, and an AVIF profile made by tessaly-batch.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "engine/codecs/decode.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/image.h"
#include "settings/app_settings.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/desktop_e2e_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kIdSlider = 8802;
constexpr int kIdQualityLabel = 8801;
constexpr int kIdAvifLossless = 8833;
constexpr int kIdJxlLossless = 8843;
constexpr int kIdJxlTranscode = 8844;
constexpr int kIdFormatBox = 5075;
constexpr int kIdProfiles = 5085;
constexpr int kParamsTab = 1;
constexpr int32_t kAvif = 37, kJxl = 38;

bool EndProgram(Program* program) {
  DWORD code = 1;
  if (!program->CloseAndWait(kExitWaitMs, &code) || code != 0) return Fail("the program did not end with 0");
  return true;
}

// One run of the window over a folder of the test data into `out`, to a target.
bool RunTo(TextView folder, TextView out, const char16_t* target, int32_t formatId, int files) {
  Program program;
  MainWindow main;
  AppSettings settings = RunOnceSettings(out);
  SetField(settings.TargetFormat, target);
  settings.FormatId = formatId;
  if (!WriteConfig(settings) || !StartMain(&program, &main, Quoted(gSetup.work + Text(folder)))) return false;
  if (!WaitListCount(main, files)) return false;
  PressButton(main, kIdStart, main.start);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 120000, &seen)) return Fail("the run did not end");
  Note(TextToUtf8(target) + ": " + TextToUtf8(WindowText(main.status)));
  return EndProgram(&program);
}

struct Decoded {
  uint32_t width = 0, height = 0;
  bool alpha = false;
  int orientation = -1;  // of the EXIF the file keeps; -1 without one
};

Decoded DecodeFile(TextView path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  Decoded out;
  int32_t error = 0;
  Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
  out.width = ImageWidth(image);
  out.height = ImageHeight(image);
  out.alpha = ImageHasAlpha(image);
  std::string text(bytes.begin(), bytes.end());
  size_t exif = text.find(std::string("Exif\0\0", 6));
  if (exif != std::string::npos) out.orientation = ReadExifOrientation(bytes.data() + exif, bytes.size() - exif);
  return out;
}

HWND FormatPanelControl(const MainWindow& main, int id) {
  HWND format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
  HWND control = format ? FindDescendant(GetParent(format), id) : nullptr;
  return control && IsWindowVisible(control) ? control : nullptr;
}

void ChooseFormatAt(const MainWindow& main, int index) {
  HWND format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
  Send(format, CB_SETCURSEL, index, 0);
  Send(GetParent(format), WM_COMMAND, MAKEWPARAM(kIdFormatBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(format));
  PumpFor(300);
}

}  // namespace

bool NewFormatsConvertInTheWindow() {
  Text heicOut = gSetup.work + u"out-heic-jpg\\", avifOut = gSetup.work + u"out-avif-png\\";
  if (!RunTo(u"newformats\\heic", heicOut, u"JPG", 2, 1)) return false;
  Decoded phone = DecodeFile(heicOut + u"phone.jpg");
  Note("phone.heic gave a JPG of " + std::to_string(phone.width) + " x " + std::to_string(phone.height) +
       ", EXIF Orientation " + std::to_string(phone.orientation));
  if (phone.width != 128 || phone.height != 192) return Fail("the HEIC's grid was not put together and turned once");
  if (phone.orientation != 1) return Fail("the JPG's EXIF does not say upright");
  if (!RunTo(u"newformats\\avif", avifOut, u"PNG", 13, 1)) return false;
  Decoded alpha = DecodeFile(avifOut + u"alpha.png");
  if (!alpha.alpha || alpha.width != 24) return Fail("the AVIF's alpha did not reach the PNG");
  for (const auto& [target, id, folder] : {std::tuple{u"AVIF", kAvif, u"out-new-avif\\"},
                                           std::tuple{u"JXL", kJxl, u"out-new-jxl\\"}}) {
    Text out = gSetup.work + folder;
    if (!RunTo(u"newformats\\jpg", out, target, id, 1)) return false;
    std::vector<Text> names = FolderFiles(out);
    if (names.size() != 1) return Fail("the JPG did not become one " + TextToUtf8(target) + " file");
    Decoded made = DecodeFile(out + names[0]);
    Note(TextToUtf8(names[0]) + ": " + std::to_string(FileSize(out + names[0])) + " bytes, " +
         std::to_string(made.width) + " x " + std::to_string(made.height));
    if (made.width != 200 || made.height != 150) return Fail("the " + TextToUtf8(target) + " file is not 200 x 150");
  }
  return true;
}

// A print shop's CMYK JPEG and TIFF, each carrying its CMYK profile, converted by the
// window to PNG: the pixels are those ImageMagick shows through the profile (the pictures
// of tests/data/corpus), and the PNG carries an RGB profile, never the CMYK one.
bool CmykPicturesComeOutRight() {
  Text out = gSetup.work + u"out-cmyk\\";
  if (!RunTo(u"cmyk", out, u"PNG", 13, 2)) return false;
  for (const auto& [made, shown] : {std::pair{u"jpeg-cmyk-profile.png", u"jpeg-cmyk-profile-shown.png"},
                                    std::pair{u"tiff-cmyk-profile.png", u"cmyk-profile-shown.png"}}) {
    std::vector<uint8_t> bytes = ReadFileBytes(out + made), want = ReadFileBytes(gSetup.work + u"cmyk-shown\\" + shown);
    int32_t error = 0;
    Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
    Image reference = LoadImageFromBuffer(want.data(), static_cast<uint32_t>(want.size()), &error);
    if (!image || !reference || ImageWidth(image) != ImageWidth(reference)) return Fail("no PNG of the CMYK picture");
    double sum = 0;
    for (uint32_t y = 0; y < ImageHeight(image); ++y)
      for (uint32_t x = 0; x < ImageWidth(image); ++x) {
        PaletteEntry a = PixelAt(image, x, y), b = PixelAt(reference, x, y);
        for (int d : {a.red - b.red, a.green - b.green, a.blue - b.blue}) sum += d * d;
      }
    double n = 3.0 * ImageWidth(image) * ImageHeight(image);
    double psnr = sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
    std::vector<uint8_t> profile = ImageProfile(image);
    bool rgb = profile.size() > 20 && std::memcmp(profile.data() + 16, "RGB ", 4) == 0;
    Note(TextToUtf8(made) + ": " + std::to_string(psnr) + " dB from the picture shown through its profile, profile " +
         (rgb ? "RGB" : "not RGB"));
    // Its saturated corners lie outside what CMYK holds, where lcms2's 8-bit transform and
    // ImageMagick's exact one round apart; a CMYK profile's pixels taken as RGB are ~6 dB.
    if (psnr < 36) return Fail("the CMYK picture's colours are not the ones its profile gives");
    if (!rgb) return Fail("the PNG of a CMYK picture does not carry an RGB profile");
  }
  return true;
}

// The AVIF and JPEG XL panels: a slider with its label and "Без потерь", and for JPEG XL
// the box that keeps a JPEG as it is; their clicks reach the words saved in Config.dat.
bool AvifAndJxlPanelsSetTheirWords() {
  ForgetConfig();
  {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    SelectTab(main, kParamsTab);
    ChooseFormatAt(main, 3);
    if (!FormatPanelControl(main, kIdSlider) || !FormatPanelControl(main, kIdAvifLossless))
      return Fail("the AVIF panel has no slider or no Без потерь box");
    Note("AVIF label " + Quote(WindowText(FormatPanelControl(main, kIdQualityLabel))));
    Screenshot("params-avif");
    Click(FormatPanelControl(main, kIdAvifLossless));
    ChooseFormatAt(main, 4);
    if (!FormatPanelControl(main, kIdJxlLossless) || !FormatPanelControl(main, kIdJxlTranscode))
      return Fail("the JPEG XL panel lacks one of its boxes");
    if (Send(FormatPanelControl(main, kIdJxlTranscode), BM_GETCHECK, 0, 0) != BST_CHECKED)
      return Fail("JPEG XL does not keep JPEGs as they are by default");
    Screenshot("params-jxl");
    Click(FormatPanelControl(main, kIdJxlTranscode));
    if (!EndProgram(&program)) return false;
  }
  AppSettings saved;
  int64_t size = 0;
  if (!ReadConfig(&saved, &size)) return false;
  Note("AVIF word " + std::to_string(saved.ExtraFlags[0]) + ", JPEG XL word " + std::to_string(saved.ExtraFlags[1]));
  if ((saved.ExtraFlags[0] & 0x100) == 0) return Fail("Без потерь did not reach AVIF's word");
  if ((saved.ExtraFlags[1] & 0x200) != 0) return Fail("the JPEG box did not clear its bit");
  if (Text(FieldView(saved.TargetFormat)) != u"JXL" || saved.FormatId != kJxl) return Fail("the target is not JXL");
  return true;
}

// tessaly-batch made an AVIF profile (data\avif-profiles.dat): the window activates it, shows
// AVIF at its quality, and still has it after a restart; its Config.dat goes back to
// tessaly-batch as data\window-avif.dat.
bool AvifProfileOfTessalyBatchSurvivesARestart() {
  std::vector<uint8_t> made = ReadFileBytes(DataPath(u"avif-profiles.dat"));
  if (made.empty()) return Fail("data\\avif-profiles.dat was not made by tessaly-batch");
  if (!WriteFileBytes(ConfigFile(), made.data(), made.size())) return Fail("cannot write Config.dat");
  for (int start = 0; start < 2; ++start) {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    SelectTab(main, kParamsTab);
    HWND format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
    HWND list = format ? GetDlgItem(GetParent(format), kIdProfiles) : nullptr;
    if (!list || ListCount(list) != 1) return Fail("the AVIF profile is not listed");
    Send(list, LB_SETCURSEL, 0, 0);
    Send(GetParent(format), WM_COMMAND, MAKEWPARAM(kIdProfiles, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    if (!WaitUntil(3000, [&] { return WindowText(format) == u"AVIF"; }))
      return Fail("activating the profile did not show AVIF", WindowText(format));
    Text label = WindowText(FormatPanelControl(main, kIdQualityLabel));
    Note("start " + std::to_string(start + 1) + ": " + Quote(ListItems(list)[0]) + ", " + Quote(label));
    if (label != u"Качество:  50") return Fail("the panel does not show the profile's quality", label);
    if (!EndProgram(&program)) return false;
  }
  std::vector<uint8_t> left = ReadFileBytes(ConfigFile());
  return WriteFileBytes(DataPath(u"window-avif.dat"), left.data(), left.size()) || Fail("cannot keep Config.dat");
}
