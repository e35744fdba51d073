#include "app/batch_options.h"

#include <cstdlib>
#include <map>

#include "settings/formats.h"
#include "settings/profiles.h"

namespace {

constexpr int32_t kJpegProgressive = 0x2000;
constexpr int32_t kJpegBaseline = 0x40000;
constexpr int32_t kWebpLossless = 0x100;
constexpr int32_t kPngBestCompression = 9;
constexpr int32_t kQualityBits = 0x7F;

const std::map<std::string, std::vector<std::string>> kChoices = {
    {"--progressive", {"off", "on"}}, {"--strip", {"off", "on"}},
    {"--lossless", {"off", "on"}},    {"--palette", {"off", "on"}},
    {"--resize", {"none", "px", "percent"}},
    {"--side", {"", "long", "short", "width", "height"}},
    {"--out-mode", {"folder", "subfolder", "suffix"}},
    {"--on-error", {"", "continue", "stop", "ask"}},
    {"--isolate", {"off", "on"}},
    {"--shrink-on-load", {"off", "on"}},
};
const char* const kNumbers[] = {"--quality", "--size", "--percent", "--jobs"};
const char* const kTexts[] = {"--format", "--out-dir",  "--subfolder", "--filter",
                              "--config", "--profile", "--add-profile"};

int ChoiceIndex(const std::string& flag, const std::string& value) {
  const auto& names = kChoices.at(flag);
  for (size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty() && names[i] == value) return static_cast<int>(i);
  return -1;
}

bool IsDigits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

template <size_t N>
bool Contains(const char* const (&list)[N], const std::string& s) {
  for (const char* item : list)
    if (s == item) return true;
  return false;
}

bool CheckValue(const std::string& flag, const std::string& value, std::string* reason) {
  if (kChoices.count(flag) && ChoiceIndex(flag, value) < 0) {
    *reason = "wrong value for " + flag + ": " + value;
    return false;
  }
  if (Contains(kNumbers, flag) && !IsDigits(value)) {
    *reason = flag + " needs a whole number, got: " + value;
    return false;
  }
  if (flag == "--quality" && (std::atoi(value.c_str()) < 1 || std::atoi(value.c_str()) > 100)) {
    *reason = "--quality must be 1 to 100, got: " + value;
    return false;
  }
  if (flag == "--jobs" && (std::atoi(value.c_str()) < 1 || std::atoi(value.c_str()) > kMaxBatchJobs)) {
    *reason = "--jobs must be 1 to " + std::to_string(kMaxBatchJobs) + ", got: " + value;
    return false;
  }
  return true;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

void SetBit(int32_t& word, int32_t bit, bool on) {
  if (on) SetFlag(word, bit);
  else ClearFlag(word, bit);
}

void ApplyOne(const std::string& flag, const std::string& value, AppSettings* s) {
  Text text = TextFromUtf8(value);
  int32_t number = std::atoi(value.c_str());
  if (flag == "--format") {
    Text name = Cut(ToUpper(text), 5);
    if (name.empty()) name = u"JPG";
    SetField(s->TargetFormat, name);
    s->FormatId = FormatIdFromName(name);
    // Showing the PNG options always asks for the best compression.
    if (s->FormatId == kFormatPng) s->SaveFlags[kFormatPng] |= kPngBestCompression;
  } else if (flag == "--quality") {
    // Only the quality bits: the option bits above them (the PNG palette bit among them,
    // which the flag word's value mask takes for part of the value) stay as chosen.
    if (s->FormatId >= 0 && s->FormatId < kSaveFlagCount)
      s->SaveFlags[s->FormatId] = (s->SaveFlags[s->FormatId] & ~kQualityBits) | number;
  } else if (flag == "--progressive") {
    SetBit(s->SaveFlags[kFormatJpeg], kJpegProgressive, value == "on");
  } else if (flag == "--strip") {
    SetBit(s->SaveFlags[kFormatJpeg], kJpegBaseline, value == "on");
  } else if (flag == "--lossless") {
    SetBit(s->SaveFlags[kFormatWebp], kWebpLossless, value == "on");
  } else if (flag == "--palette") {
    SetBit(s->SaveFlags[kFormatPng], kPng256ColourFlag, value == "on");
  } else if (flag == "--resize") {
    s->ResizeMode = ChoiceIndex(flag, value);
  } else if (flag == "--side") {
    s->ResizeSide = ChoiceIndex(flag, value);
  } else if (flag == "--size") {
    s->TargetSize = Clamp(number, 1, 10000);
  } else if (flag == "--percent") {
    s->ScalePercent = Clamp(number, 1, 1000);
  } else if (flag == "--enlarge") {
    s->NoEnlarge = 0;
  } else if (flag == "--no-enlarge") {
    s->NoEnlarge = 1;
  } else if (flag == "--out-mode") {
    s->OutputMode = ChoiceIndex(flag, value);
  } else if (flag == "--out-dir") {
    SetField(s->OutputFolder, text);
  } else if (flag == "--subfolder") {
    SetField(s->SubfolderName, text);
  } else if (flag == "--filter") {
    SetField(s->CurrentFilter, text);
  }
}

}  // namespace

bool ParseBatchArgs(const std::vector<std::string>& args, BatchOptions* out, std::string* reason) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out->help = true;
    } else if (a == "--show-settings") {
      out->showSettings = true;
    } else if (a == "--save") {
      out->save = true;
    } else if (a == "--list-profiles") {
      out->listProfiles = true;
    } else if (a == "--enlarge" || a == "--no-enlarge") {
      out->overrides.emplace_back(a, "");
    } else if (kChoices.count(a) || Contains(kNumbers, a) || Contains(kTexts, a)) {
      if (i + 1 >= args.size()) {
        *reason = a + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      if (!CheckValue(a, value, reason)) return false;
      if (a == "--config") out->configPath = TextFromUtf8(value);
      else if (a == "--profile") out->profile = TextFromUtf8(value);
      else if (a == "--add-profile") out->addProfile = TextFromUtf8(value);
      else if (a == "--on-error") out->onError = static_cast<OnErrorPolicy>(ChoiceIndex(a, value));
      else if (a == "--isolate") out->isolate = value == "on";
      else if (a == "--shrink-on-load") out->shrinkOnLoad = value == "on";
      else if (a == "--jobs") out->jobs = std::atoi(value.c_str());
      else out->overrides.emplace_back(a, value);
    } else if (a.size() > 1 && a[0] == '-' && a != "--") {
      *reason = "unknown option: " + a;
      return false;
    } else if (a == "--") {
      for (++i; i < args.size(); ++i) out->paths.push_back(TextFromUtf8(args[i]));
    } else {
      out->paths.push_back(TextFromUtf8(a));
    }
  }
  return true;
}

void ApplyOverrides(const BatchOptions& options, AppSettings* settings) {
  // The format first: --quality belongs to the target's word, wherever it was given.
  for (const auto& [flag, value] : options.overrides)
    if (flag == "--format") ApplyOne(flag, value, settings);
  for (const auto& [flag, value] : options.overrides)
    if (flag != "--format") ApplyOne(flag, value, settings);
}

bool ApplyProfileOptions(const BatchOptions& options, ProfileList* profiles, AppSettings* settings,
                         std::string* reason) {
  if (!options.profile.empty()) {
    int32_t found = FindProfileByCaption(*profiles, options.profile);
    if (found < 0) {
      *reason = "no profile is called \"" + TextToUtf8(options.profile) + "\"; the profiles are:\n" +
                ProfileListing(*profiles, *settings);
      return false;
    }
    ActivateProfileRecord(profiles->At(found), settings);
    settings->ActiveProfileIndex = found;
    // The format's id follows the profile's format name, as the window's panel sets it.
    settings->FormatId = FormatIdFromName(FieldView(settings->TargetFormat));
  }
  ApplyOverrides(options, settings);
  if (!options.addProfile.empty() && AddProfile(profiles, Cut(options.addProfile, kProfileCaptionUnits), settings) < 0) {
    *reason = "the profile could not be added";
    return false;
  }
  return true;
}

std::string ProfileListing(const ProfileList& profiles, const AppSettings& settings) {
  std::string out;
  for (int32_t i = 0; i < profiles.Count(); ++i) {
    const ProfileRecord* record = profiles.At(i);
    if (!record) continue;
    out += std::to_string(record->Id) + (record->Id == settings.ActiveProfileId ? " * " : "   ") +
           TextToUtf8(FieldView(record->Caption)) + "\n";
  }
  return out.empty() ? "(no profiles)\n" : out;
}

namespace {

void Line(std::string* out, const char* name, int32_t value) {
  *out += std::string(name) + "=" + std::to_string(value) + "\n";
}

template <size_t N>
void Line(std::string* out, const char* name, const char16_t (&field)[N]) {
  *out += std::string(name) + "=" + TextToUtf8(FieldView(field)) + "\n";
}

}  // namespace

std::string SettingsListing(const AppSettings& s) {
  std::string out;
  Line(&out, "ProfileCount", s.ProfileCount);
  Line(&out, "ActiveProfileId", s.ActiveProfileId);
  Line(&out, "ActiveProfileIndex", s.ActiveProfileIndex);
  Line(&out, "LastProfileId", s.LastProfileId);
  Line(&out, "ActiveTab", s.ActiveTab);
  Line(&out, "TopMost", s.TopMost);
  Line(&out, "TrayOnClose", s.TrayOnClose);
  Line(&out, "TrayOnStart", s.TrayOnStart);
  Line(&out, "AutoStart", s.AutoStart);
  Line(&out, "ShowToolTips", s.ShowToolTips);
  Line(&out, "WarnOnClose", s.WarnOnClose);
  Line(&out, "ReservedOption", s.ReservedOption);
  Line(&out, "LaunchCount", s.LaunchCount);
  Line(&out, "ClearListOnAdd", s.ClearListOnAdd);
  Line(&out, "OutputMode", s.OutputMode);
  Line(&out, "NoEnlarge", s.NoEnlarge);
  Line(&out, "ResizeMode", s.ResizeMode);
  Line(&out, "ResizeSide", s.ResizeSide);
  Line(&out, "TargetSize", s.TargetSize);
  Line(&out, "ScalePercent", s.ScalePercent);
  Line(&out, "FormatId", s.FormatId);
  for (int32_t i = 0; i < kSaveFlagCount; ++i)
    if (s.SaveFlags[i] != 0) out += "SaveFlags[" + std::to_string(i) + "]=" + std::to_string(s.SaveFlags[i]) + "\n";
  Line(&out, "CurrentFilter", s.CurrentFilter);
  Line(&out, "TargetFormat", s.TargetFormat);
  Line(&out, "SubfolderName", s.SubfolderName);
  Line(&out, "OutputFolder", s.OutputFolder);
  Line(&out, "ExtensionList", s.ExtensionList);
  Line(&out, "ProfileExtra", s.ProfileExtra);
  out += "SettingsSignature=" + std::to_string(SettingsSignature(s, true)) + "\n";
  return out;
}

const char* BatchUsage() {
  return R"(Usage: tessaly-batch [options] [PATH...]
Converts image files and the files directly inside folders, with the settings of
Config.dat (beside the program unless --config says otherwise) and the overrides below.

  --config FILE          settings file to read (and write with --save)
  --show-settings        print every setting and the settings signature
  --save                 write the settings back as the program does when it ends
  --format NAME          target format: JPG, WEBP, PNG or another FreeImage name
  --quality N            quality 1..100 of the target format
  --progressive on|off   progressive JPEG
  --strip on|off         JPEG without metadata (baseline)
  --lossless on|off      lossless WEBP
  --palette on|off       reduce PNG to 256 colours
  --resize none|px|percent
  --side long|short|width|height
  --size N               target side in pixels (1..10000)
  --percent N            scale in percent (1..1000)
  --enlarge | --no-enlarge   whether smaller images are enlarged to --size
  --out-mode folder|subfolder|suffix
  --out-dir DIR          folder for --out-mode folder
  --subfolder NAME       subfolder name for --out-mode subfolder
  --filter TEXT          accepted extensions, comma-separated (jpg,png,...)
  --on-error continue|stop|ask   what a failed file does (ask: y/n, 6 s, then continue)
  --isolate on|off       convert each file in a worker process of its own (default on),
                         so a file that crashes the image library fails alone
  --jobs N               files converted at once (1..64; default: every logical
                         processor, as memory allows); 1 converts one file at a time
  --shrink-on-load on|off  decode a JPEG at 1/2, 1/4 or 1/8 of its size when the resize
                         makes it that much smaller (default on); the sizes stay exact
  --list-profiles        print the saved profiles: Id, * for the active one, caption
  --profile CAPTION      activate the first profile with this caption, before the overrides
  --add-profile CAPTION  store the settings after the overrides as a new profile (with --save)
  --help                 this text
)";
}
