// Checks of the additional-settings page and what it does outside the window: the
// explorer verbs and the start-with-Windows value in Wine's registry (read back with
// `wine reg` and the registry calls), starts through those command lines, and the
// output folder, presets and options in runs and in Config.dat.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/wide_win32.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/desktop_e2e_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kIdOutputFolder = 5024;
constexpr int kIdPresets = 5026;
constexpr int kIdBrowse = 5061;
constexpr int kIdDrivesBox = 5051;
constexpr int kIdTrayOnStartBox = 5081;
constexpr int kIdTrayOnCloseBox = 5082;
constexpr int kIdAutoStartBox = 5083;
constexpr int kIdWarnOnCloseBox = 5084;
constexpr int kIdToolTipsBox = 5086;
constexpr int kIdToSrgbBox = 5091;
constexpr int kIdBackgroundButton = 5092;
constexpr int kIdProfiles = 5085;
constexpr int kIdFirstModeRadio = 5100;
constexpr int kIdSubfolder = 5105;
constexpr int kIdFilterBox = 4022;
constexpr int kSettingsTab = 2;
constexpr int kParamsTab = 1;
// The colour chooser's boxes for red, green and blue.
constexpr int kIdChooserRed = 706;
constexpr int kIdChooserGreen = 707;
constexpr int kIdChooserBlue = 708;

constexpr char16_t kDefaultPresets[] = u"jpg|png|gif|webp|bmp|psd|bmp,tiff,pcx,psd|heic,heif|avif|jxl";

struct VerbTarget {
  const char16_t* base;
  const char* shellBase;  // as the shell passes it to `wine reg`
  const char16_t* caption;
};
const VerbTarget kVerbTargets[] = {
    {u"Drive", "Drive", u"Tessaly — Добавить диск"},
    {u"Directory", "Directory", u"Tessaly — Добавить папку"},
    {u"*", "*", u"Tessaly — Добавить файл"},
};

Text VerbKey(const VerbTarget& target) {
  return Text(target.base) + u"\\Shell\\XxxRightClick";
}

std::string RegPath(const std::string& root, const VerbTarget& target, const std::string& below = "") {
  return "'" + root + "\\" + target.shellBase + "\\Shell\\XxxRightClick" + below + "'";
}

std::string Ascii(TextView text) {
  return TextToUtf8(text);
}

// The main window of a started program with its settings page shown.
bool OpenSettingsPage(Program* program, MainWindow* main, HWND* page) {
  if (!FindMainWindow(program, main)) return false;
  SelectTab(*main, kSettingsTab);
  *page = SettingsPageOf(main->dialog);
  if (!*page) return Fail("no additional-settings page (no presets box 5026)");
  if (!IsWindowVisible(*page)) return Fail("the additional-settings page is not shown on its tab");
  return true;
}

// A copy of the program at `copy` without settings of its own, started and showing its
// settings page.
bool StartFreshCopy(TextView copy, Program* program, MainWindow* main, HWND* page) {
  if (!CopyProgramTo(copy)) return false;
  DeleteFileIfAny(ConfigBeside(copy));
  return program->StartCopy(copy, u"") && OpenSettingsPage(program, main, page);
}

// ---- Explorer verbs ---------------------------------------------------------------------

// The entry as `wine reg` and the registry calls see it, with the command of the program.
bool ExpectVerbEntry(const VerbTarget& target, TextView program) {
  WineRegAnswer command = WineReg("query " + RegPath("HKCR", target, "\\Command") + " /ve");
  if (!command.ok) return Fail("wine reg finds no command key for " + Ascii(target.base) + ": " + command.output);
  std::string expected = "\"" + Ascii(program) + "\" \"%L\"";
  if (RegSzData(command) != expected) return Fail("command " + RegSzData(command) + ", expected " + expected);
  Note("wine reg: " + Ascii(target.base) + " verb runs " + RegSzData(command));
  Text caption, commandText;
  DWORD captionBytes = 0, commandBytes = 0;
  if (!ReadRegText(HKEY_CLASSES_ROOT, VerbKey(target), u"", &caption, &captionBytes) ||
      !ReadRegText(HKEY_CLASSES_ROOT, VerbKey(target) + u"\\Command", u"", &commandText, &commandBytes))
    return Fail("the verb's default values cannot be read");
  if (caption != target.caption) return Fail("caption", caption);
  if (captionBytes != 128 || commandBytes != 552)
    return Fail("data lengths " + std::to_string(captionBytes) + " and " + std::to_string(commandBytes) +
                ", expected 128 and 552");
  return true;
}

bool ExpectNoVerbEntry(const VerbTarget& target) {
  for (const std::string& root : {std::string("HKCR"), std::string("HKCU\\Software\\Classes")}) {
    WineRegAnswer verb = WineReg("query " + RegPath(root, target));
    if (verb.ok) return Fail("the verb key is still in " + root + ": " + verb.output);
  }
  return true;
}

bool ToggleVerbBox(HWND page, int index, TextView program) {
  const VerbTarget& target = kVerbTargets[index];
  HWND box = FindDescendant(page, kIdDrivesBox + index);
  if (!box) return Fail("no context-menu box " + std::to_string(kIdDrivesBox + index));
  if (Ticked(box)) return Fail("box " + std::to_string(kIdDrivesBox + index) + " starts ticked with no entry");
  Click(box);
  if (!Ticked(box)) return Fail("box " + std::to_string(kIdDrivesBox + index) + " is not ticked after the click");
  if (!ExpectVerbEntry(target, program)) return false;
  // Written where an administrator writes them (Wine's user is one), not in the user's classes.
  if (RegKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\" + VerbKey(target)))
    return Fail("the entry went to the user's classes as well");
  Click(box);
  if (Ticked(box)) return Fail("box " + std::to_string(kIdDrivesBox + index) + " is still ticked after the second click");
  return ExpectNoVerbEntry(target);
}

// The verb's command with %L replaced by the chosen item, as the explorer runs it.
Text VerbCommandFor(const VerbTarget& target, TextView item) {
  Text command;
  DWORD bytes = 0;
  if (!ReadRegText(HKEY_CLASSES_ROOT, VerbKey(target) + u"\\Command", u"", &command, &bytes)) return {};
  size_t at = command.find(u"%L");
  return at == Text::npos ? Text() : command.replace(at, 2, item);
}

}  // namespace

bool ContextMenuBoxesWriteAndRemoveTheirKeys() {
  ForgetConfig();
  ForgetDesktopEntries();
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
  for (int i = 0; i < 3; ++i)
    if (!ToggleVerbBox(page, i, gSetup.program)) return false;
  return true;
}

// Entries present before the start tick their boxes: one machine-wide as an earlier
// version wrote it, one in the user's classes; unticking removes either.
bool ContextMenuBoxesStartTickedFromTheRegistry() {
  ForgetConfig();
  ForgetDesktopEntries();
  WineRegAnswer made = WineReg("add " + RegPath("HKCR", kVerbTargets[1], "\\Command") + " /ve /d old /f");
  if (!made.ok) return Fail("wine reg add failed: " + made.output);
  if (!MakeRegKey(HKEY_CURRENT_USER, u"Software\\Classes\\" + VerbKey(kVerbTargets[2]) + u"\\Command"))
    return Fail("cannot make the user's entry");
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
  HWND boxes[3] = {FindDescendant(page, 5051), FindDescendant(page, 5052), FindDescendant(page, 5053)};
  if (Ticked(boxes[0]) || !Ticked(boxes[1]) || !Ticked(boxes[2]))
    return Fail("the boxes do not show drives off, folders and files on");
  Screenshot("settings-page");
  for (int i : {1, 2}) {
    Click(boxes[i]);
    if (Ticked(boxes[i])) return Fail("box " + std::to_string(5051 + i) + " stayed ticked");
    if (!ExpectNoVerbEntry(kVerbTargets[i])) return false;
  }
  return true;
}

// The files verb's command, from a program in a folder with a blank: with the program
// running it hands the item over; with none running it opens the window with the item.
bool VerbCommandHandsThePathOver() {
  ForgetDesktopEntries();
  Text copy = gSetup.work + u"Program Files x\\Tessaly.exe.so";
  Text running = DataPath(u"in\\x y.jpg"), starting = DataPath(u"in\\a.jpg");
  Text handOver, open;
  {
    Program program;
    MainWindow main;
    HWND page = nullptr;
    if (!StartFreshCopy(copy, &program, &main, &page)) return false;
    Click(FindDescendant(page, 5053));
    if (!ExpectVerbEntry(kVerbTargets[2], copy)) return false;
    handOver = VerbCommandFor(kVerbTargets[2], running);
    open = VerbCommandFor(kVerbTargets[2], starting);
    Note("explorer runs " + Quote(handOver));
    Program later;
    if (!later.StartCommandLine(handOver)) return false;
    DWORD code = 1;
    if (!later.WaitExit(kExitWaitMs, &code) || code != 0) return Fail("the verb's start did not hand over and end");
    if (!WaitListCount(main, 1)) return false;
    if (ListItems(main.list) != std::vector<Text>{running}) return Fail("listed", ListItems(main.list).front());
    Click(FindDescendant(page, 5053));
    if (!ExpectNoVerbEntry(kVerbTargets[2])) return false;
  }
  Program program;
  MainWindow main;
  if (!program.StartCommandLine(open) || !FindMainWindow(&program, &main)) return false;
  if (!WaitListCount(main, 1)) return false;
  if (ListItems(main.list) != std::vector<Text>{starting}) return Fail("listed", ListItems(main.list).front());
  return true;
}

namespace {

constexpr char kRunKey[] = "'HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run'";

// The start-with-Windows value as `wine reg` shows it; empty when there is none.
std::string RunValue() {
  WineRegAnswer value = WineReg(std::string("query ") + kRunKey + " /v Tessaly");
  return value.ok ? RegSzData(value) : std::string();
}

// The box ticked: the value names the quoted program and "/auto", 510 bytes long.
bool TickAutoStart(HWND page, TextView program) {
  HWND box = FindDescendant(page, kIdAutoStartBox);
  Click(box);
  if (!Ticked(box)) return Fail("the start-with-Windows box is not ticked");
  std::string expected = "\"" + Ascii(program) + "\" /auto";
  if (RunValue() != expected) return Fail("Run value " + RunValue() + ", expected " + expected);
  Note("wine reg: Run value Tessaly = " + RunValue());
  Text text;
  DWORD bytes = 0;
  ReadRegText(HKEY_CURRENT_USER, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Tessaly", &text, &bytes);
  if (bytes != 510) return Fail("the Run value holds " + std::to_string(bytes) + " bytes, expected 510");
  return true;
}

bool ExpectSavedAutoStart(TextView program, int32_t autoStart) {
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfigAt(ConfigBeside(program), &settings, &size)) return false;
  if (settings.AutoStart != autoStart) return Fail("AutoStart saved as " + std::to_string(settings.AutoStart));
  return true;
}

}  // namespace

// Ticking writes the Run value; Windows' start with that command line stays in the tray;
// unticking removes it.
bool StartWithWindowsWritesTheRunValue() {
  ForgetDesktopEntries();
  Text copy = gSetup.work + u"Program Files x\\Tessaly.exe.so";
  {
    Program program;
    MainWindow main;
    HWND page = nullptr;
    if (!StartFreshCopy(copy, &program, &main, &page)) return false;
    if (!TickAutoStart(page, copy)) return false;
  }
  if (!ExpectSavedAutoStart(copy, 1)) return false;
  Text value = TextFromUtf8(RunValue());
  Note("Windows runs " + Quote(value));
  Program program;
  if (!program.StartCommandLine(value) || !StaysInTheTrayUntilALaterStart(program)) return false;
  MainWindow main;
  HWND page = nullptr;
  if (!OpenSettingsPage(&program, &main, &page)) return false;
  HWND box = FindDescendant(page, kIdAutoStartBox);
  if (!Ticked(box)) return Fail("the box does not show AutoStart 1");
  Click(box);
  if (Ticked(box) || !RunValue().empty()) return Fail("unticking left the box ticked or the value in place");
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  return ExpectSavedAutoStart(copy, 0);
}

// A program whose command would not fit the value's 254 characters registers nothing:
// the box says so after the message, and so does the saved setting.
bool FailedStartWithWindowsLeavesTheBoxOff() {
  ForgetDesktopEntries();
  Text folder = gSetup.work + u"long\\";
  Text copy = folder + Text(250 - folder.size() - 15, u'n') + u"\\Tessaly.exe.so";
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!StartFreshCopy(copy, &program, &main, &page)) return false;
  HWND box = FindDescendant(page, kIdAutoStartBox);
  PostMessageW(box, BM_CLICK, 0, 0);
  HWND message = WaitOtherDialog(program, main.dialog);
  if (!message) return Fail("no message about the failed registration");
  Text text = WindowText(FindDescendant(message, kMessageBoxTextId));
  Note("message " + Quote(text));
  PostMessageW(message, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (!WaitUntil(5000, [&] { return !IsWindow(message); })) return Fail("the message did not close");
  if (Ticked(box)) return Fail("the box stayed ticked although nothing was registered");
  if (!RunValue().empty()) return Fail("a Run value was written: " + RunValue());
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  return ExpectSavedAutoStart(copy, 0);
}

namespace {

void TypeInto(HWND edit, TextView text) {
  for (char16_t unit : text) Send(edit, WM_CHAR, unit, 1);
}

void EmptyBox(HWND edit) {
  Send(edit, EM_SETSEL, 0, -1);
  Send(edit, WM_CHAR, VK_BACK, 1);
}

std::vector<Text> ComboItems(HWND box) {
  std::vector<Text> items;
  int count = static_cast<int>(Send(box, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::vector<wchar_t> buffer(static_cast<size_t>(Send(box, CB_GETLBTEXTLEN, i, 0)) + 2, 0);
    Send(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
    items.emplace_back(reinterpret_cast<const char16_t*>(buffer.data()));
  }
  return items;
}

}  // namespace

bool PresetAndSubfolderBoxesNeverStayEmpty() {
  ForgetConfig();
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
  HWND presets = FindDescendant(page, kIdPresets), subfolder = FindDescendant(page, kIdSubfolder);
  EmptyBox(presets);
  if (WindowText(presets) != kDefaultPresets) return Fail("emptied presets box shows", WindowText(presets));
  EmptyBox(subfolder);
  if (WindowText(subfolder) != u"TessalyOut") return Fail("emptied subfolder box shows", WindowText(subfolder));
  Send(presets, EM_SETSEL, 200, 200);
  TypeInto(presets, u"|QOI,Jxl");
  if (WindowText(presets) != Text(kDefaultPresets) + u"|qoi,jxl") return Fail("presets box", WindowText(presets));
  std::vector<Text> choices = ComboItems(FindDescendant(main.dialog, kIdFilterBox, u"ComboBox"));
  if (choices.empty() || choices.back() != u"qoi,jxl") {
    for (const Text& choice : choices) Note("filter choice " + Quote(choice));
    return Fail("the file list's filter choices do not end with the typed preset");
  }
  TypeInto(subfolder, u"Done");
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  if (FieldView(settings.ExtensionList) != Text(kDefaultPresets) + u"|qoi,jxl")
    return Fail("saved presets", FieldView(settings.ExtensionList));
  if (FieldView(settings.SubfolderName) != u"Done") return Fail("saved subfolder", FieldView(settings.SubfolderName));
  return true;
}

namespace {

// A fresh folder holding copies of the in2 pictures (e.jpg, f.png, g.gif).
bool FreshPictures(TextView name, Text* folder) {
  *folder = gSetup.work + Text(name) + u"\\";
  for (const Text& file : FolderFiles(*folder)) DeleteFileIfAny(*folder + file);
  if (!MakeFolders(*folder)) return Fail("cannot make", *folder);
  for (const char16_t* file : {u"e.jpg", u"f.png", u"g.gif"}) {
    Text from = gSetup.work + u"in2\\" + file, to = *folder + file;
    if (!CopyFileW(Wide(from), Wide(to), FALSE)) return Fail("cannot copy", from);
  }
  return true;
}

// Start is posted: until the program takes it, the status line still shows the previous
// run's summary, so the end of this run is known by its files (written whole under their
// names, and by no earlier mode) and only then by the summary.
bool RunAndExpect(const MainWindow& main, TextView folder, std::vector<Text> names) {
  PressButton(main, kIdStart, main.start);
  auto written = [&] {
    return std::all_of(names.begin(), names.end(), [&](const Text& name) { return FileExists(Text(folder) + name); });
  };
  if (!WaitUntil(60000, written)) {
    for (const Text& name : names)
      if (!FileExists(Text(folder) + name)) Fail("no output", Text(folder) + name);
    return false;
  }
  std::vector<Text> seen;
  return WaitRunEnd(main, 60000, &seen) || Fail("the run did not end");
}

}  // namespace

// Each radio sets OutputMode, and the next run writes where that mode says.
bool OutputModeRadiosChooseWhereARunWrites() {
  Text pictures, out = gSetup.work + u"out-modes\\";
  if (!FreshPictures(u"modes", &pictures)) return false;
  if (!WriteConfigWithOutputFolder(out)) return false;
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(Quoted(pictures)) || !OpenSettingsPage(&program, &main, &page)) return false;
  if (!WaitListCount(main, 3) || !ExpectOutputModeRadios(page, 0)) return false;
  struct Mode {
    int mode;
    Text folder;
    std::vector<Text> names;
  } modes[] = {
      {1, pictures + u"TessalyOut\\", {u"e.jpg", u"f.jpg", u"g.jpg"}},
      {2, pictures, {u"e_c.jpg", u"f_c.jpg", u"g_c.jpg"}},
      {0, out, {u"e.jpg", u"f.jpg", u"g.jpg"}},
  };
  for (const Mode& mode : modes) {
    SelectTab(main, kSettingsTab);
    Click(FindDescendant(page, kIdFirstModeRadio + mode.mode));
    if (!ExpectOutputModeRadios(page, mode.mode) || !RunAndExpect(main, mode.folder, mode.names)) return false;
  }
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  return settings.OutputMode == 0 || Fail("OutputMode saved as " + std::to_string(settings.OutputMode));
}

namespace {

// The folder chooser the page opened: a dialog of the program other than the main one,
// with a tree.
bool WaitFolderChooser(const Program& program, HWND main, HWND* chooser, HWND* tree) {
  *chooser = WaitOtherDialog(program, main);
  if (!*chooser) return Fail("the folder chooser did not open");
  *tree = FindWindowExW(*chooser, nullptr, WC_TREEVIEWW, nullptr);
  return *tree != nullptr || Fail("the folder chooser has no tree");
}

bool WaitCaret(HWND tree, DWORD pid, TextView name) {
  if (WaitUntil(10000, [&] { return RemoteTreeCaretText(tree, pid) == name; })) return true;
  return Fail("the chooser's selection is " + Quote(RemoteTreeCaretText(tree, pid)) + ", expected", name);
}

}  // namespace

// "&Обзор" opens at the stored folder; the folder chosen there is shown, stored, and
// the next run writes into it.
bool BrowseStoresTheChosenFolder() {
  Text pictures, chosen = gSetup.work + u"pick\\a";
  if (!FreshPictures(u"browse-in", &pictures) || !MakeFolders(chosen + u"\\sub")) return false;
  if (!WriteConfigWithOutputFolder(chosen + u"\\sub\\")) return false;
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(Quoted(pictures)) || !OpenSettingsPage(&program, &main, &page)) return false;
  if (!WaitListCount(main, 3)) return false;
  PostMessageW(FindDescendant(page, kIdBrowse), BM_CLICK, 0, 0);
  HWND chooser = nullptr, tree = nullptr;
  if (!WaitFolderChooser(program, main.dialog, &chooser, &tree) || !WaitCaret(tree, program.pid(), u"sub")) return false;
  Screenshot("settings-folder-chooser");
  // Up from a first child selects its parent.
  PostMessageW(tree, WM_KEYDOWN, VK_UP, 0);
  if (!WaitCaret(tree, program.pid(), u"a")) return false;
  PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  HWND folderBox = FindDescendant(page, kIdOutputFolder);
  if (!WaitUntil(10000, [&] { return WindowText(folderBox) == chosen; }))
    return Fail("the folder box shows", WindowText(folderBox));
  if (!RunAndExpect(main, chosen + u"\\", {u"e.jpg", u"f.jpg", u"g.jpg"})) return false;
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  return FieldView(settings.OutputFolder) == chosen || Fail("saved folder", FieldView(settings.OutputFolder));
}

// The option boxes show their settings and set them; the tooltip box only shows
// ShowToolTips and cannot be changed; AutoStart ticks its box even with no Run value.
bool OptionBoxesShowAndSetTheirSettings() {
  ForgetDesktopEntries();
  AppSettings start = RunOnceSettings(gSetup.work + u"out\\");
  start.TrayOnClose = 1;
  start.WarnOnClose = 0;
  start.TrayOnStart = 0;
  start.ShowToolTips = 0;
  start.AutoStart = 1;
  if (!WriteConfig(start)) return false;
  {
    Program program;
    MainWindow main;
    HWND page = nullptr;
    if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
    struct Row {
      int id;
      bool ticked;
    } rows[] = {{kIdTrayOnCloseBox, true}, {kIdWarnOnCloseBox, false}, {kIdTrayOnStartBox, false},
                {kIdToolTipsBox, false},   {kIdAutoStartBox, true}};
    for (const Row& row : rows)
      if (Ticked(FindDescendant(page, row.id)) != row.ticked) return Fail("box " + std::to_string(row.id) + " shows the wrong state");
    if (IsWindowEnabled(FindDescendant(page, kIdToolTipsBox))) return Fail("the tooltip box can be changed");
    for (int id : {kIdWarnOnCloseBox, kIdTrayOnCloseBox, kIdTrayOnStartBox}) Click(FindDescendant(page, id));
    DWORD code = 1;
    if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  }
  AppSettings saved;
  int64_t size = 0;
  if (!ReadConfig(&saved, &size)) return false;
  if (saved.WarnOnClose != 1 || saved.TrayOnClose != 0 || saved.TrayOnStart != 1 || saved.ShowToolTips != 0 ||
      saved.AutoStart != 1)
    return Fail("the saved options are not the clicked ones");
  // With the default settings the disabled tooltip box shows tooltips on.
  ForgetConfig();
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
  HWND tips = FindDescendant(page, kIdToolTipsBox);
  return (Ticked(tips) && !IsWindowEnabled(tips)) || Fail("the tooltip box does not show ShowToolTips 1, disabled");
}

namespace {

// The two colour words as the program saved them in Config.dat: offsets 128 and 132.
bool ExpectSavedColours(int32_t toSrgb, int32_t background) {
  std::vector<uint8_t> bytes = ReadFileBytes(ConfigFile());
  if (bytes.size() < 136) return Fail("Config.dat holds " + std::to_string(bytes.size()) + " bytes");
  int32_t saved[2];
  std::memcpy(saved, bytes.data() + 128, sizeof saved);
  char shown[64];
  std::snprintf(shown, sizeof shown, "bytes 128..135: %d, 0x%08X", saved[0], static_cast<unsigned>(saved[1]));
  Note(shown);
  if (saved[0] != toSrgb || saved[1] != background) return Fail("the colour options were not saved as chosen");
  return true;
}

// The box ticked or not and the swatch button naming the colour (its text, RRGGBB).
bool ExpectColoursShown(HWND page, bool ticked, TextView colour, const char* when) {
  HWND box = FindDescendant(page, kIdToSrgbBox), button = FindDescendant(page, kIdBackgroundButton);
  if (!box || !button) return Fail("no sRGB box 5091 or background button 5092");
  if (WaitUntil(3000, [&] { return Ticked(box) == ticked && WindowText(button) == colour; })) return true;
  return Fail(std::string(when) + ": the sRGB box is " + (Ticked(box) ? "ticked" : "clear") + ", the swatch",
              WindowText(button));
}

// Types the colour into the chooser's red, green and blue boxes (a paste: each number
// arrives whole) and presses OK.
bool ChooseColourInChooser(const Program& program, HWND main, HWND button, int red, int green, int blue) {
  PostMessageW(button, BM_CLICK, 0, 0);
  HWND chooser = WaitOtherDialog(program, main);
  if (!chooser) return Fail("the colour chooser did not open");
  const struct {
    int id;
    int value;
  } boxes[] = {{kIdChooserRed, red}, {kIdChooserGreen, green}, {kIdChooserBlue, blue}};
  for (const auto& box : boxes) {
    HWND edit = FindDescendant(chooser, box.id, u"Edit");
    if (!edit) return Fail("the colour chooser has no box " + std::to_string(box.id));
    Text number = TextFromUtf8(std::to_string(box.value));
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(number.c_str()));
  }
  PumpFor(200);
  Screenshot("colour-chooser");
  PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return WaitUntil(5000, [&] { return !IsWindow(chooser); }) || Fail("the colour chooser did not close");
}

}  // namespace

// A fresh Config.dat shows sRGB off on white; the box and the colour chosen in the
// chooser are saved in the colour words; a profile tessaly-batch made with other colours
// puts its own on the page when it is activated.
bool ColourOptionsAreSavedAndFollowProfiles() {
  ForgetConfig();
  {
    Program program;
    MainWindow main;
    HWND page = nullptr;
    if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
    if (!ExpectColoursShown(page, false, u"FFFFFF", "a fresh start")) return false;
    Click(FindDescendant(page, kIdToSrgbBox));
    // Channels of different values: red and blue swapped would show.
    if (!ChooseColourInChooser(program, main.dialog, FindDescendant(page, kIdBackgroundButton), 0x20, 0x80, 0xC0))
      return false;
    if (!ExpectColoursShown(page, true, u"2080C0", "after the chooser")) return false;
    Screenshot("colour-options");
    DWORD code = 1;
    if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  }
  if (!ExpectSavedColours(1, 0x012080C0)) return false;

  // data\colour-profiles.dat: the profile "Фон C03020" (sRGB off on C03020), while the
  // settings in force are sRGB on black.
  std::vector<uint8_t> made = ReadFileBytes(DataPath(u"colour-profiles.dat"));
  if (made.empty()) return Fail("data\\colour-profiles.dat was not made by tessaly-batch");
  if (!WriteFileBytes(ConfigFile(), made.data(), made.size())) return Fail("cannot write Config.dat");
  Program program;
  MainWindow main;
  HWND page = nullptr;
  if (!program.Start(u"") || !OpenSettingsPage(&program, &main, &page)) return false;
  if (!ExpectColoursShown(page, true, u"000000", "the settings tessaly-batch saved")) return false;
  SelectTab(main, kParamsTab);
  HWND profiles = FindDescendant(main.dialog, kIdProfiles, u"ListBox");
  if (!profiles || ListItems(profiles) != std::vector<Text>{u"Фон C03020"})
    return Fail("the parameters page does not list the profile \"Фон C03020\"");
  DoubleClickProfile(profiles, 0);
  SelectTab(main, kSettingsTab);
  if (!ExpectColoursShown(page, false, u"C03020", "after activating the profile")) return false;
  DWORD code = 1;
  if (!program.CloseAndWait(kExitWaitMs, &code)) return Fail("the program did not end");
  return ExpectSavedColours(0, 0x01C03020);
}
