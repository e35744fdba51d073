// Checks of the conversion-parameters page: the option panels, the number and format
// boxes, and the profiles, driven as a user would and read back from Config.dat.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "settings/app_settings.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/desktop_e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kIdQualityLabel = 8801;
constexpr int kIdSlider = 8802;
constexpr int kIdProgressive = 8803;
constexpr int kIdNoMetadata = 8804;
constexpr int kIdLossless = 8813;
constexpr int kIdPalette = 8823;
constexpr int kIdSizeBox = 5071;
constexpr int kIdPercentBox = 5072;
constexpr int kIdFormatBox = 5075;
constexpr int kIdResizeNone = 5100;
constexpr int kIdResizePixels = 5101;
constexpr int kIdProfiles = 5085;
constexpr int kIdAdd = 5086;
constexpr int kIdName = 5088;
constexpr int kParamsTab = 1;
// A record's settings block starts at AppSettings offset 92; SaveFlags lie at 200.
constexpr size_t kRecordSaveFlags = 8 + (200 - 92);

struct ParamsPage {
  HWND page = nullptr;
  HWND format = nullptr;
  HWND size = nullptr;
  HWND percent = nullptr;
  HWND profiles = nullptr;
  HWND name = nullptr;
  HWND add = nullptr;
};

// The page is the parent of the format box, which no other page has; the additional-
// settings page reuses some of its ids, so the controls are looked up inside it.
bool OpenParamsPage(const MainWindow& main, ParamsPage* params) {
  SelectTab(main, kParamsTab);
  params->format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
  if (!params->format) return Fail("the parameters page has no format box");
  params->page = GetParent(params->format);
  params->size = GetDlgItem(params->page, kIdSizeBox);
  params->percent = GetDlgItem(params->page, kIdPercentBox);
  params->profiles = GetDlgItem(params->page, kIdProfiles);
  params->name = GetDlgItem(params->page, kIdName);
  params->add = GetDlgItem(params->page, kIdAdd);
  if (!params->size || !params->percent || !params->profiles || !params->name || !params->add)
    return Fail("a control of the parameters page is missing");
  return true;
}

// The panel's control, when the panel shows it.
HWND PanelControl(const MainWindow& main, int id) {
  HWND format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
  HWND control = format ? FindDescendant(GetParent(format), id) : nullptr;
  return control && IsWindowVisible(control) ? control : nullptr;
}

bool Checked(HWND box) {
  return box && Send(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Picks an entry of the format list as a click in its drop-down does.
void ChooseFormat(const ParamsPage& params, int index) {
  Send(params.format, CB_SETCURSEL, index, 0);
  Send(params.page, WM_COMMAND, MAKEWPARAM(kIdFormatBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(params.format));
  PumpFor(200);
}

// The dialog moves the keyboard focus, as Tab or a click would.
void FocusOn(const MainWindow& main, HWND control) {
  Send(main.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  PumpFor(150);
}

// Types into a box (a paste: the text arrives whole) and leaves it.
void TypeAndLeave(const MainWindow& main, HWND box, TextView text, HWND next) {
  FocusOn(main, box);
  Text typed(text);
  Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  FocusOn(main, next);
}

bool CloseProgram(Program* program) {
  DWORD code = 1;
  if (!program->CloseAndWait(kExitWaitMs, &code) || code != 0) return Fail("the program did not end with 0");
  return true;
}

std::vector<ProfileRecord> SavedProfiles(AppSettings* settings) {
  std::vector<ProfileRecord> records;
  std::vector<uint8_t> bytes = ReadFileBytes(ConfigFile());
  if (bytes.size() < sizeof(AppSettings)) return records;
  std::memcpy(settings, bytes.data(), sizeof(AppSettings));
  for (size_t at = sizeof(AppSettings); at + sizeof(ProfileRecord) <= bytes.size(); at += sizeof(ProfileRecord)) {
    ProfileRecord record;
    std::memcpy(&record, bytes.data() + at, sizeof record);
    records.push_back(record);
  }
  return records;
}

int32_t RecordFlags(const ProfileRecord& record, int32_t formatId) {
  int32_t word = 0;
  std::memcpy(&word, record.Settings + (kRecordSaveFlags - 8) + 4 * static_cast<size_t>(formatId), sizeof word);
  return word;
}

bool ExpectPanel(const MainWindow& main, int slider, bool jpeg, const char* what) {
  HWND control = PanelControl(main, kIdSlider);
  if (!control) return Fail(std::string(what) + ": no quality slider");
  LRESULT position = Send(control, TBM_GETPOS, 0, 0);
  if (position != slider) return Fail(std::string(what) + ": slider at " + std::to_string(position));
  if (jpeg && !Checked(PanelControl(main, kIdProgressive))) return Fail("Прогрессивный is not ticked");
  if (jpeg && (!PanelControl(main, kIdNoMetadata) || Checked(PanelControl(main, kIdNoMetadata))))
    return Fail("Без метаданных is missing or ticked");
  if (!jpeg && !PanelControl(main, kIdLossless)) return Fail("no Без потерь box on the WEBP panel");
  return true;
}

}  // namespace

bool ParametersPageShowsEachPanel() {
  ForgetConfig();
  Program program;
  MainWindow main;
  ParamsPage params;
  if (!StartMain(&program, &main, u"") || !OpenParamsPage(main, &params)) return false;
  if (!ExpectPanel(main, 84, true, "JPG")) return false;
  Note("label " + Quote(WindowText(PanelControl(main, kIdQualityLabel))));
  Screenshot("params-jpg");
  ChooseFormat(params, 1);
  if (!ExpectPanel(main, 90, false, "WEBP")) return false;
  // Ten steps left with the keyboard, as a user moves the slider.
  HWND slider = PanelControl(main, kIdSlider);
  FocusOn(main, slider);
  for (int i = 0; i < 10; ++i) Send(slider, WM_KEYDOWN, VK_LEFT, 0);
  PumpFor(200);
  if (WindowText(PanelControl(main, kIdQualityLabel)) != u"Качество: 80")
    return Fail("label after the move", WindowText(PanelControl(main, kIdQualityLabel)));
  Screenshot("params-webp");
  ChooseFormat(params, 2);
  if (!PanelControl(main, kIdPalette) || PanelControl(main, kIdSlider)) return Fail("the PNG panel is not shown alone");
  Screenshot("params-png");
  if (!CloseProgram(&program)) return false;
  AppSettings saved;
  int64_t size = 0;
  if (!ReadConfig(&saved, &size)) return false;
  Note("SaveFlags JPEG " + std::to_string(saved.SaveFlags[2]) + ", WEBP " + std::to_string(saved.SaveFlags[35]) +
       ", PNG " + std::to_string(saved.SaveFlags[13]));
  if (saved.SaveFlags[2] != 0x2054 || saved.SaveFlags[35] != 80 || saved.SaveFlags[13] != 9)
    return Fail("the saved flag words are not 0x2054, 80 and 9");
  if (Text(FieldView(saved.TargetFormat)) != u"PNG" || saved.FormatId != 13) return Fail("the target is not PNG");
  return true;
}

bool SizeAndFormatBoxesTakeTheirValueWhenLeft() {
  struct Row {
    const char16_t* typed;
    const char16_t* shown;
    int32_t stored;
  } rows[] = {{u"0", u"1", 1}, {u"25000", u"10000", 10000}, {u"12a5", u"12a5", 125}};
  ForgetConfig();
  for (const Row& row : rows) {
    Program program;
    MainWindow main;
    ParamsPage params;
    if (!StartMain(&program, &main, u"") || !OpenParamsPage(main, &params)) return false;
    // Without a resize the pixel and percent boxes are greyed; the pixel way enables the
    // pixel boxes alone.
    Click(GetDlgItem(params.page, kIdResizeNone));
    if (IsWindowEnabled(params.size) || IsWindowEnabled(params.percent))
      return Fail("the size boxes take input while the picture is not resized");
    Click(GetDlgItem(params.page, kIdResizePixels));
    if (!WaitUntil(2000, [&] { return IsWindowEnabled(params.size) && !IsWindowEnabled(params.percent); }))
      return Fail("choosing pixels did not enable the pixel boxes alone");
    TypeAndLeave(main, params.size, row.typed, params.format);
    if (WindowText(params.size) != row.shown) return Fail("size box after " + Quote(row.typed), WindowText(params.size));
    TypeAndLeave(main, params.format, u"", params.size);
    if (WindowText(params.format) != u"JPG") return Fail("emptied format box", WindowText(params.format));
    if (!CloseProgram(&program)) return false;
    AppSettings saved;
    int64_t size = 0;
    if (!ReadConfig(&saved, &size)) return false;
    if (saved.TargetSize != row.stored)
      return Fail(Quote(row.typed) + " stored " + std::to_string(saved.TargetSize));
    if (Text(FieldView(saved.TargetFormat)) != u"JPG") return Fail("format stored", FieldView(saved.TargetFormat));
    Note(Quote(row.typed) + " shows " + Quote(row.shown) + " and stores " + std::to_string(saved.TargetSize));
  }
  return true;
}

namespace {

bool AddProfileNamed(const ParamsPage& params, TextView name, int countAfter) {
  Text typed(name);
  Send(params.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  PostMessageW(params.page, WM_COMMAND, MAKEWPARAM(kIdAdd, BN_CLICKED), reinterpret_cast<LPARAM>(params.add));
  if (WaitUntil(5000, [&] { return ListCount(params.profiles) == countAfter; })) return true;
  return Fail("adding " + Quote(name) + " left " + std::to_string(ListCount(params.profiles)) + " profiles");
}

bool ExpectFormatShown(const ParamsPage& params, TextView format, const char* how) {
  if (WaitUntil(3000, [&] { return WindowText(params.format) == format; })) return true;
  return Fail(std::string(how) + " did not show the profile's format", WindowText(params.format));
}

// Selects an item (its caption goes into the name box, which then gets `name` when one
// is given), opens the list's menu on it and walks down to the entry `steps` below the top.
bool ProfileMenuCommand(const Program& program, const ParamsPage& params, int index, int steps, TextView name,
                        const char* shot) {
  Send(params.profiles, LB_SETCURSEL, index, 0);
  Send(params.page, WM_COMMAND, MAKEWPARAM(kIdProfiles, LBN_SELCHANGE), reinterpret_cast<LPARAM>(params.profiles));
  Text typed(name);
  if (!typed.empty()) Send(params.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  RECT box;
  GetWindowRect(params.profiles, &box);
  PostMessageW(params.page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(params.profiles),
               MAKELPARAM(box.left + 60, box.top + index * 26 + 13));
  HWND menu = WaitPopupMenu(program);
  if (!menu) return Fail("the profile menu did not open");
  if (shot) Screenshot(shot);
  for (int i = 0; i < steps; ++i) {
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PumpFor(100);
  }
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  PumpFor(300);
  return true;
}

bool ExpectItems(const ParamsPage& params, const std::vector<Text>& expected) {
  if (ListItems(params.profiles) == expected) return true;
  for (const Text& item : ListItems(params.profiles)) Fail("  profile", item);
  return Fail("the profile list is not as expected");
}

bool ExpectSavedProfiles() {
  AppSettings saved;
  std::vector<ProfileRecord> records = SavedProfiles(&saved);
  Note("saved: ProfileCount " + std::to_string(saved.ProfileCount) + ", ActiveProfileId " +
       std::to_string(saved.ActiveProfileId) + ", LastProfileId " + std::to_string(saved.LastProfileId));
  if (saved.ProfileCount != 2 || records.size() != 2) return Fail("Config.dat does not hold two profiles");
  if (records[0].Id != 2 || records[1].Id != 3) return Fail("the records are not Ids 2 and 3 in list order");
  if (Text(FieldView(records[1].Caption)) != u"Третий WEBP") return Fail("caption", FieldView(records[1].Caption));
  if (saved.ActiveProfileId != 2 || saved.LastProfileId != 3) return Fail("wrong active or last profile id");
  if (Text(FieldView(records[0].TargetFormat)) != u"WEBP" || Text(FieldView(records[1].TargetFormat)) != u"WEBP")
    return Fail("the records do not both hold WEBP");
  if (RecordFlags(records[0], 35) != 90 || RecordFlags(records[0], 2) != 0x2054)
    return Fail("the second profile's flag words are not WEBP 90 and JPEG 0x2054");
  return true;
}

// Three profiles, the first activated by a double click, the second by Enter, the third
// overwritten with the current settings and the first deleted, both through the menu.
bool BuildProfiles(const Program& program, const MainWindow& main, const ParamsPage& params) {
  if (!AddProfileNamed(params, u"Первый", 1)) return false;
  ChooseFormat(params, 1);
  if (!AddProfileNamed(params, u"Второй", 2)) return false;
  ChooseFormat(params, 2);
  if (!AddProfileNamed(params, u"Третий", 3)) return false;
  DoubleClickProfile(params.profiles, 0);
  if (!ExpectFormatShown(params, u"JPG", "a double click")) return false;
  FocusOn(main, params.profiles);
  Send(params.profiles, LB_SETCURSEL, 1, 0);
  PostMessageW(params.profiles, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(params.profiles, WM_KEYUP, VK_RETURN, 0xC0000001);
  if (!ExpectFormatShown(params, u"WEBP", "Enter")) return false;
  // "Сохранить текущие настройки в выделенный пункт" is the first entry.
  if (!ProfileMenuCommand(program, params, 2, 1, u"Третий WEBP", "params-profile-menu")) return false;
  if (!ExpectItems(params, {u"Первый", u"Второй", u"Третий WEBP"})) return false;
  // On an item that is not the active one: save, activate, delete.
  if (!ProfileMenuCommand(program, params, 0, 3, u"", nullptr)) return false;
  return ExpectItems(params, {u"Второй", u"Третий WEBP"});
}

}  // namespace

bool ProfilesAreAddedActivatedOverwrittenAndDeleted() {
  ForgetConfig();
  {
    Program program;
    MainWindow main;
    ParamsPage params;
    if (!StartMain(&program, &main, u"") || !OpenParamsPage(main, &params)) return false;
    if (!BuildProfiles(program, main, params)) return false;
    Screenshot("params-profiles");
    if (!CloseProgram(&program)) return false;
  }
  if (!ExpectSavedProfiles()) return false;
  // A restart shows the same list with the active profile selected; activating the WEBP
  // profile and starting a run writes WEBP files.
  Program program;
  MainWindow main;
  ParamsPage params;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"in2")) || !OpenParamsPage(main, &params)) return false;
  if (!ExpectItems(params, {u"Второй", u"Третий WEBP"})) return false;
  if (Send(params.profiles, LB_GETCURSEL, 0, 0) != 0) return Fail("the active profile is not selected after a restart");
  Screenshot("params-profiles-restarted");
  // The additional-settings page shows another output mode until the profile is activated.
  HWND settingsPage = SettingsPageOf(main.dialog);
  Click(GetDlgItem(settingsPage, 5100 + 2));
  if (!ExpectOutputModeRadios(settingsPage, 2)) return false;
  DoubleClickProfile(params.profiles, 0);
  if (!ExpectFormatShown(params, u"WEBP", "a double click")) return false;
  if (!ExpectOutputModeRadios(settingsPage, 1)) return Fail("activating the profile left the output-mode radios");
  if (!WaitListCount(main, 3)) return false;
  PressButton(main, kIdStart, main.start);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end");
  Text out = gSetup.work + u"in2\\TessalyOut\\";
  std::vector<Text> names = FolderFiles(out);
  for (const Text& name : names) DeleteFileIfAny(out + name);
  RemoveDirectoryW(reinterpret_cast<const wchar_t*>(out.c_str()));
  Note("the run wrote " + std::to_string(names.size()) + " files");
  if (names.size() != 3) return Fail("the run did not write three files");
  for (const Text& name : names)
    if (name.size() < 5 || name.substr(name.size() - 5) != u".webp") return Fail("not a WEBP result", name);
  return CloseProgram(&program);
}

// tessaly-batch made data\batch-profiles.dat (two profiles, the second active): the
// window lists them with the active one selected, adds one, and leaves its Config.dat as
// data\window-profiles.dat for tessaly-batch to read back (scripts/test-e2e.sh).
bool ProfilesOfTessalyBatchOpenInTheWindow() {
  std::vector<uint8_t> made = ReadFileBytes(DataPath(u"batch-profiles.dat"));
  if (made.empty()) return Fail("data\\batch-profiles.dat was not made by tessaly-batch");
  if (!WriteFileBytes(ConfigFile(), made.data(), made.size())) return Fail("cannot write Config.dat");
  {
    Program program;
    MainWindow main;
    ParamsPage params;
    if (!StartMain(&program, &main, u"") || !OpenParamsPage(main, &params)) return false;
    if (!ExpectItems(params, {u"Web 70", u"Палитра"})) return false;
    if (Send(params.profiles, LB_GETCURSEL, 0, 0) != 1) return Fail("the active profile is not selected");
    if (!AddProfileNamed(params, u"Из окна", 3)) return false;
    if (!CloseProgram(&program)) return false;
  }
  std::vector<uint8_t> left = ReadFileBytes(ConfigFile());
  return WriteFileBytes(DataPath(u"window-profiles.dat"), left.data(), left.size()) || Fail("cannot keep Config.dat");
}
