#include "app/batch_options.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "settings/formats.h"
#include "settings/profiles.h"
#include "settings/signature.h"

namespace {

// How a flag takes its value.
enum class Value {
  None,    // a switch
  Choice,  // one of `choices`; its index is what the flag means
  Number,  // a whole number from `low` to `high` (digits only)
  Colour,  // RRGGBB: exactly six hex digits, either case
  Text,
};

// What a flag does: at once to the options of the run, or later to the settings record
// once it is loaded (an override). Exactly one of the two is set.
using OptionAction = void (*)(BatchOptions*, const std::string& value);
using SettingAction = void (*)(AppSettings*, const std::string& flag, const std::string& value);

struct Flag {
  const char* name;
  Value kind;
  std::vector<std::string> choices;  // Choice: "" marks an index no one can name
  int32_t low, high;                 // Number
  OptionAction option;
  SettingAction setting;
  std::string usage;  // how --help shows the flag; empty for one listed with another
  std::string help;   // its lines in --help ("\n" between lines)
};

int ChoiceIndex(const Flag& flag, const std::string& value) {
  for (size_t i = 0; i < flag.choices.size(); ++i)
    if (!flag.choices[i].empty() && flag.choices[i] == value) return static_cast<int>(i);
  return -1;
}

bool IsDigits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// A colour as people copy it from image editors; a "#" or "0x" in front, or three digits
// for six, would be guesses about what was meant, so they are refused.
bool IsColour(const std::string& s) {
  if (s.size() != 6) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

void SetBit(int32_t& word, int32_t bit, bool on) {
  if (on) SetFlag(word, bit);
  else ClearFlag(word, bit);
}

int32_t Number(const std::string& value) {
  return std::atoi(value.c_str());
}

void SetFormat(AppSettings* s, const std::string&, const std::string& value) {
  Text name = Cut(ToUpper(TextFromUtf8(value)), 5);
  if (name.empty()) name = u"JPG";
  SetField(s->TargetFormat, name);
  OutputFormat format = OutputFormatByName(name);
  s->FormatId = format.formatId;
  // Choosing a format asks for what its panel always asks for (PNG's best compression).
  int32_t* word = FormatWord(s, format);
  if (word) SetFlag(*word, format.shownBits);
}

// Only the quality bits: the option bits above them (the PNG palette bit among them,
// which the flag word's value mask takes for part of the value) stay as chosen.
void SetQuality(AppSettings* s, const std::string&, const std::string& value) {
  int32_t* word = FormatWord(s, TargetFormatOf(*s));
  if (word) *word = (*word & ~kQualityBits) | Number(value);
}

// A format option's flag sets its bit in the word of every format that has it.
void SetFormatOption(AppSettings* s, const std::string& flag, const std::string& value) {
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < formats[i].optionCount; ++k)
      if (flag == formats[i].options[k].flag) SetBit(*FormatWord(s, formats[i]), formats[i].options[k].bit, value == "on");
}

// An encoder's speed or effort, in the word of the format that has it.
void SetFormatNumber(AppSettings* s, const std::string& flag, const std::string& value) {
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  for (int i = 0; i < count; ++i)
    if (formats[i].number.flag && flag == formats[i].number.flag)
      SetWordNumber(FormatWord(s, formats[i]), formats[i].number, Number(value));
}

const std::vector<std::string> kOnOff = {"off", "on"};

// The flags in the order --help lists them; the format options come from the format
// records and are placed after --quality.
std::vector<Flag> MakeFlags() {
  std::vector<Flag> flags = {
      {"--config", Value::Text, {}, 0, 0, [](BatchOptions* o, const std::string& v) { o->configPath = TextFromUtf8(v); },
       nullptr, "--config FILE", "settings file to read (and write with --save)"},
      {"--show-settings", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->showSettings = true; },
       nullptr, "--show-settings", "print every setting and the settings signature"},
      {"--save", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->save = true; }, nullptr,
       "--save", "write the settings back as the program does when it ends"},
      {"--format", Value::Text, {}, 0, 0, nullptr, SetFormat, "--format NAME",
       "target format: JPG, WEBP, PNG, AVIF, JXL or another FreeImage name"},
      {"--quality", Value::Number, {}, 1, 100, nullptr, SetQuality, "--quality N", "quality 1..100 of the target format"},
  };
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < formats[i].optionCount; ++k) {
      const FormatOption& option = formats[i].options[k];
      bool listed = false;
      for (const Flag& flag : flags) listed = listed || option.flag == std::string(flag.name);
      if (listed) continue;
      flags.push_back({option.flag, Value::Choice, kOnOff, 0, 0, nullptr, SetFormatOption,
                       std::string(option.flag) + " on|off", option.help});
    }
  for (int i = 0; i < count; ++i) {
    const FormatNumber& number = formats[i].number;
    if (number.flag)
      flags.push_back({number.flag, Value::Number, {}, number.low, number.high, nullptr, SetFormatNumber,
                       std::string(number.flag) + " N", number.help});
  }
  std::vector<Flag> rest = {
      {"--to-srgb", Value::Choice, kOnOff, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->ToSrgb = v == "on" ? 1 : 0; },
       "--to-srgb on|off", "colours turned from the source's colour profile into sRGB (default off)"},
      {"--background", Value::Colour, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) {
         s->Background = StoredBackground(static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 16)));
       },
       "--background RRGGBB",
       "colour laid under transparency where the target keeps no alpha\n(JPG, a 256-colour PNG); default FFFFFF, white"},
      {"--resize", Value::Choice, {"none", "px", "percent"}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->ResizeMode = v == "px" ? 1 : v == "percent" ? 2 : 0; },
       "--resize none|px|percent", ""},
      {"--side", Value::Choice, {"", "long", "short", "width", "height"}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) {
         s->ResizeSide = v == "long" ? 1 : v == "short" ? 2 : v == "width" ? 3 : 4;
       },
       "--side long|short|width|height", ""},
      {"--size", Value::Number, {}, 0, 999999999, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->TargetSize = Clamp(Number(v), 1, 10000); },
       "--size N", "target side in pixels (1..10000)"},
      {"--percent", Value::Number, {}, 0, 999999999, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->ScalePercent = Clamp(Number(v), 1, 1000); },
       "--percent N", "scale in percent (1..1000)"},
      {"--enlarge", Value::None, {}, 0, 0, nullptr, [](AppSettings* s, const std::string&, const std::string&) { s->NoEnlarge = 0; },
       "--enlarge | --no-enlarge", "whether smaller images are enlarged to --size"},
      {"--no-enlarge", Value::None, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string&) { s->NoEnlarge = 1; }, "", ""},
      {"--out-mode", Value::Choice, {"folder", "subfolder", "suffix"}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->OutputMode = v == "folder" ? 0 : v == "subfolder" ? 1 : 2; },
       "--out-mode folder|subfolder|suffix", ""},
      {"--out-dir", Value::Text, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { SetField(s->OutputFolder, TextFromUtf8(v)); },
       "--out-dir DIR", "folder for --out-mode folder"},
      {"--subfolder", Value::Text, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { SetField(s->SubfolderName, TextFromUtf8(v)); },
       "--subfolder NAME", "subfolder name for --out-mode subfolder"},
      {"--recursive", Value::None, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string&) { s->Recursive = 1; },
       "--recursive | --no-recursive",
       "folders walked to any depth (hidden folders and link loops left\nout); with --out-mode folder each file goes to its path below\nthe folder it was found under, made again below --out-dir"},
      {"--no-recursive", Value::None, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string&) { s->Recursive = 0; }, "", ""},
      {"--keep-dates", Value::Choice, kOnOff, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->KeepDates = v == "on" ? 1 : 0; },
       "--keep-dates on|off", "outputs get their source's modification time (default on)"},
      {"--existing", Value::Choice, {"replace", "skip", "counter"}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) {
         s->ExistingFiles = v == "skip" ? kExistingSkip : v == "counter" ? kExistingCounter : kExistingReplace;
       },
       "--existing replace|skip|counter",
       "an existing file this program did not write is replaced, left\nas it is, or the output goes beside it as \"name (2).jpg\""},
      {"--keep-if-smaller", Value::Choice, kOnOff, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { s->KeepIfSmaller = v == "on" ? 1 : 0; },
       "--keep-if-smaller on|off",
       "a result larger than its source, of its format and size, gives\nway to the source: copied, or with --out-mode suffix nothing\nwritten (default off)"},
      {"--filter", Value::Text, {}, 0, 0, nullptr,
       [](AppSettings* s, const std::string&, const std::string& v) { SetField(s->CurrentFilter, TextFromUtf8(v)); },
       "--filter TEXT", "accepted extensions, comma-separated (jpg,png,...)"},
      {"--on-error", Value::Choice, {"", "continue", "stop", "ask"}, 0, 0,
       [](BatchOptions* o, const std::string& v) {
         o->onError = v == "continue" ? OnErrorPolicy::Continue : v == "stop" ? OnErrorPolicy::Stop : OnErrorPolicy::Ask;
       },
       nullptr, "--on-error continue|stop|ask", "what a failed file does (ask: y/n, 6 s, then continue)"},
      {"--dry-run", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->dryRun = true; }, nullptr,
       "--dry-run",
       "print each file's output path and what a run would do (convert,\nskip as done, skip as existing, collision, too long) and the\nrun's counts, writing nothing"},
      {"--isolate", Value::Choice, kOnOff, 0, 0, [](BatchOptions* o, const std::string& v) { o->isolate = v == "on"; },
       nullptr, "--isolate on|off",
       "convert each file in a worker process of its own (default on),\nso a file that crashes the image library fails alone"},
      {"--jobs", Value::Number, {}, 1, kMaxBatchJobs, [](BatchOptions* o, const std::string& v) { o->jobs = Number(v); },
       nullptr, "--jobs N",
       "files converted at once (1..64; default: every logical\nprocessor, as memory allows); 1 converts one file at a time"},
      {"--shrink-on-load", Value::Choice, kOnOff, 0, 0,
       [](BatchOptions* o, const std::string& v) { o->shrinkOnLoad = v == "on"; }, nullptr, "--shrink-on-load on|off",
       "decode a JPEG at 1/2, 1/4 or 1/8 of its size when the resize\nmakes it that much smaller (default on); the sizes stay exact"},
      {"--list-profiles", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->listProfiles = true; },
       nullptr, "--list-profiles", "print the saved profiles: Id, * for the active one, caption"},
      {"--profile", Value::Text, {}, 0, 0, [](BatchOptions* o, const std::string& v) { o->profile = TextFromUtf8(v); },
       nullptr, "--profile CAPTION", "activate the first profile with this caption, before the overrides"},
      {"--add-profile", Value::Text, {}, 0, 0,
       [](BatchOptions* o, const std::string& v) { o->addProfile = TextFromUtf8(v); }, nullptr,
       "--add-profile CAPTION", "store the settings after the overrides as a new profile (with --save)"},
      {"--help", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->help = true; }, nullptr, "--help",
       "this text"},
      {"-h", Value::None, {}, 0, 0, [](BatchOptions* o, const std::string&) { o->help = true; }, nullptr, "", ""},
  };
  flags.insert(flags.end(), rest.begin(), rest.end());
  return flags;
}

const std::vector<Flag>& Flags() {
  static const std::vector<Flag> flags = MakeFlags();
  return flags;
}

const Flag* FindFlag(const std::string& name) {
  for (const Flag& flag : Flags())
    if (name == flag.name) return &flag;
  return nullptr;
}

bool CheckValue(const Flag& flag, const std::string& value, std::string* reason) {
  if (flag.kind == Value::Choice && ChoiceIndex(flag, value) < 0) {
    *reason = "wrong value for " + std::string(flag.name) + ": " + value;
    return false;
  }
  if (flag.kind == Value::Colour && !IsColour(value)) {
    *reason = std::string(flag.name) + " needs a colour as six hex digits RRGGBB, got: " + value;
    return false;
  }
  if (flag.kind != Value::Number) return true;
  if (!IsDigits(value)) {
    *reason = std::string(flag.name) + " needs a whole number, got: " + value;
    return false;
  }
  if (Number(value) < flag.low || Number(value) > flag.high) {
    *reason = std::string(flag.name) + " must be " + std::to_string(flag.low) + " to " + std::to_string(flag.high) +
              ", got: " + value;
    return false;
  }
  return true;
}

void ApplyOne(const std::string& name, const std::string& value, AppSettings* s) {
  const Flag* flag = FindFlag(name);
  if (flag && flag->setting) flag->setting(s, name, value);
}

}  // namespace

bool ParseBatchArgs(const std::vector<std::string>& args, BatchOptions* out, std::string* reason) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      for (++i; i < args.size(); ++i) out->paths.push_back(TextFromUtf8(args[i]));
      break;
    }
    const Flag* flag = FindFlag(a);
    if (!flag && a.size() > 1 && a[0] == '-') {
      *reason = "unknown option: " + a;
      return false;
    }
    if (!flag) {
      out->paths.push_back(TextFromUtf8(a));
      continue;
    }
    std::string value;
    if (flag->kind != Value::None) {
      if (i + 1 >= args.size()) {
        *reason = a + " needs a value";
        return false;
      }
      value = args[++i];
      if (!CheckValue(*flag, value, reason)) return false;
    }
    if (flag->option) flag->option(out, value);
    else out->overrides.emplace_back(a, value);
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

// As --background takes it, so a listed colour can be given back.
std::string HexColour(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return text;
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
  Line(&out, "ToSrgb", s.ToSrgb);
  out += "Background=" + HexColour(BackgroundRgb(s)) + "\n";
  Line(&out, "Recursive", s.Recursive);
  Line(&out, "KeepDates", s.KeepDates);
  Line(&out, "ExistingFiles", s.ExistingFiles);
  Line(&out, "KeepIfSmaller", s.KeepIfSmaller);
  for (int32_t i = 0; i < kSaveFlagCount; ++i)
    if (s.SaveFlags[i] != 0) out += "SaveFlags[" + std::to_string(i) + "]=" + std::to_string(s.SaveFlags[i]) + "\n";
  for (int32_t i = 0; i < kExtraFlagCount; ++i)
    if (s.ExtraFlags[i] != 0) out += "ExtraFlags[" + std::to_string(i) + "]=" + std::to_string(s.ExtraFlags[i]) + "\n";
  Line(&out, "CurrentFilter", s.CurrentFilter);
  Line(&out, "TargetFormat", s.TargetFormat);
  Line(&out, "SubfolderName", s.SubfolderName);
  Line(&out, "OutputFolder", s.OutputFolder);
  Line(&out, "ExtensionList", s.ExtensionList);
  Line(&out, "ProfileExtra", s.ProfileExtra);
  out += "SettingsSignature=" + std::to_string(SettingsSignature(s, true)) + "\n";
  return out;
}

std::string BatchUsage() {
  std::string text =
      "Usage: tessaly-batch [options] [PATH...]\n"
      "Converts image files and the files inside folders (subfolders too with --recursive),\n"
      "with the settings of Config.dat (beside the program unless --config says otherwise)\n"
      "and the overrides below.\n\n";
  constexpr size_t kHelpColumn = 25;
  for (const Flag& flag : Flags()) {
    if (flag.usage.empty()) continue;
    std::string line = "  " + flag.usage;
    const std::string& help = flag.help;
    if (!help.empty()) line += std::string(line.size() + 2 > kHelpColumn ? 2 : kHelpColumn - line.size(), ' ');
    for (char c : help) line += c == '\n' ? std::string("\n") + std::string(kHelpColumn, ' ') : std::string(1, c);
    text += line + "\n";
  }
  return text;
}
