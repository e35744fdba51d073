#include "settings/profiles.h"

#include <cstring>

#include "settings/formats.h"

namespace {

constexpr size_t kControlTextUnits = 19;
constexpr size_t kOptionTextUnits = 19;

// Appends and keeps at most `units` units, as every step of the caption does.
void AppendCut(Text* text, TextView more, size_t units) {
  text->append(more);
  if (text->size() > units) text->resize(units);
}

Text WithoutTrailingBlanksAndSemicolons(Text text) {
  while (!text.empty() && (text.back() == u' ' || text.back() == u';')) text.pop_back();
  return text;
}

Text SizeText(const CaptionSource& source) {
  Text size;
  if (source.resizeMode == 1) {
    AppendCut(&size, Cut(source.sideText, kControlTextUnits), kProfileCaptionUnits);
    AppendCut(&size, u":", kProfileCaptionUnits);
    if (source.noEnlarge) AppendCut(&size, u"<", kProfileCaptionUnits);
    AppendCut(&size, Cut(source.sizeText, kControlTextUnits), kProfileCaptionUnits);
    AppendCut(&size, u"px", kProfileCaptionUnits);
  } else if (source.resizeMode == 2) {
    AppendCut(&size, Cut(source.percentText, kControlTextUnits), kProfileCaptionUnits);
    AppendCut(&size, u"%", kProfileCaptionUnits);
  }
  return size;
}

// "(Q:84)", "(C:255)" or nothing, as the format's record says. The lossless bit is a
// named flag, not part of the value.
Text OptionText(const CaptionSource& source) {
  Text options;
  OutputFormat format = OutputFormatById(source.formatId);
  int32_t quality = FlagValue(source.flagWord, 0);
  if (format.quality && quality != 0) AppendCut(&options, u"Q:" + NumberText(quality) + u";", kOptionTextUnits);
  for (int i = 0; i < format.optionCount; ++i) {
    const FormatOption& option = format.options[i];
    if (option.captionTag && HasFlag(source.flagWord, option.bit))
      AppendCut(&options, Text(option.captionTag) + u";", kOptionTextUnits);
  }
  options = WithoutTrailingBlanksAndSemicolons(options);
  return options.empty() ? options : u"(" + options + u")";
}

}  // namespace

void FillProfileRecord(ProfileRecord* record, TextView caption, const AppSettings& settings) {
  if (!caption.empty()) SetField(record->Caption, caption);
  std::memcpy(record->Settings, reinterpret_cast<const uint8_t*>(&settings) + kProfileBlockOffset, kProfileBlockSize);
  std::memcpy(record->TargetFormat, settings.TargetFormat, sizeof record->TargetFormat);
  std::memcpy(record->ProfileExtra, settings.ProfileExtra, sizeof record->ProfileExtra);
}

int32_t AddProfile(ProfileList* list, TextView caption, AppSettings* settings) {
  if (caption.empty()) return -1;
  ProfileRecord record;
  std::memset(&record, 0, sizeof record);
  FillProfileRecord(&record, caption, *settings);
  return AddRecord(list, record, settings);
}

bool SaveSettingsIntoProfile(ProfileList* list, int32_t index, TextView caption, const AppSettings& settings) {
  const ProfileRecord* old = list ? list->At(index) : nullptr;
  if (!old) return false;
  ProfileRecord record = *old;
  FillProfileRecord(&record, caption, settings);
  return list->Replace(index, record);
}

bool ActivateProfileRecord(const ProfileRecord* record, AppSettings* settings) {
  if (!record || record->Id == 0) return false;
  settings->ActiveProfileId = record->Id;
  std::memcpy(reinterpret_cast<uint8_t*>(settings) + kProfileBlockOffset, record->Settings, kProfileBlockSize);
  std::memcpy(settings->TargetFormat, record->TargetFormat, sizeof settings->TargetFormat);
  std::memcpy(settings->ProfileExtra, record->ProfileExtra, sizeof settings->ProfileExtra);
  return true;
}

int32_t FindProfileById(const ProfileList& list, int32_t id) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (list.At(i) && list.At(i)->Id == id) return i;
  return -1;
}

int32_t ActiveProfilePosition(const ProfileList& list, int32_t activeId) {
  int32_t position = FindProfileById(list, activeId);
  return position < 0 ? 0 : position;
}

int32_t FindProfileByCaption(const ProfileList& list, TextView caption) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (list.At(i) && FieldView(list.At(i)->Caption) == caption) return i;
  return -1;
}

Text ProfileCaption(const CaptionSource& source) {
  Text caption;
  AppendCut(&caption, source.targetFormat, kProfileCaptionUnits);
  AppendCut(&caption, OptionText(source), kProfileCaptionUnits);
  AppendCut(&caption, u"; ", kProfileCaptionUnits);
  AppendCut(&caption, Cut(source.modeText, kControlTextUnits), kProfileCaptionUnits);
  AppendCut(&caption, u"; ", kProfileCaptionUnits);
  AppendCut(&caption, SizeText(source), kProfileCaptionUnits);
  return WithoutTrailingBlanksAndSemicolons(caption);
}

TextView ResizeModeText(int32_t resizeMode) {
  static constexpr const char16_t* kModes[] = {u"Не изменять размер", u"Расчёт в пикселах", u"Расчёт в процентах"};
  return resizeMode >= 0 && resizeMode <= 2 ? TextView(kModes[resizeMode]) : TextView();
}

TextView ResizeSideText(int32_t resizeSide) {
  static constexpr const char16_t* kSides[] = {u"Длинная сторона", u"Короткая сторона", u"Ширина", u"Высота"};
  return resizeSide >= 1 && resizeSide <= 4 ? TextView(kSides[resizeSide - 1]) : TextView();
}

Text ProfileCaptionFor(const AppSettings& settings) {
  Text size = NumberText(settings.TargetSize);
  Text percent = NumberText(settings.ScalePercent);
  CaptionSource source;
  source.targetFormat = FieldView(settings.TargetFormat);
  source.resizeMode = settings.ResizeMode;
  source.modeText = ResizeModeText(settings.ResizeMode);
  source.sideText = ResizeSideText(settings.ResizeSide);
  source.noEnlarge = settings.NoEnlarge != 0;
  source.sizeText = size;
  source.percentText = percent;
  OutputFormat format = TargetFormatOf(settings);
  source.formatId = format.formatId;
  source.flagWord = FormatWordOf(settings, format);
  return ProfileCaption(source);
}

std::vector<ProfileMenuItem> ProfileMenuItems(int32_t selected, TextView name, int32_t activeIndex, int32_t count) {
  std::vector<ProfileMenuItem> items;
  Text shown(name);
  if (selected >= 0) {
    items.push_back({kProfileCmdSaveInto, u"Сохранить текущие настройки в выделенный пункт: " + shown});
    if (selected != activeIndex) items.push_back({kProfileCmdActivate, u"Активировать выделенный пункт: " + shown});
    items.push_back({kProfileCmdDelete, u"Удалить выделенный пункт: " + shown});
  }
  if (count > 0) {
    items.push_back({kProfileCmdDeleteAll, u"Удалить всё"});
    items.push_back({0, Text()});
    items.push_back({kProfileCmdCancel, u"Отмена"});
  }
  return items;
}
