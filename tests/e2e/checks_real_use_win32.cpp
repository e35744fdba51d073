// Checks of the window under real use: thousands of files handed over, hand-overs during
// a run, what the user sees when a run ends.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kManyFiles = 10000;
// The goal is 2 s on a quiet machine; the check leaves room for a busy one.
constexpr DWORD kManyFilesGoalMs = 2000;
constexpr DWORD kManyFilesBoundMs = 15000;

}  // namespace

bool TenThousandFilesHandedOverAreListedQuickly() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  // The list is in view, as when a user drops more files on it.
  SelectTab(main, 0);
  Text expected = u"Всего файлов в списке:" + NumberWithBlank(kManyFiles);
  Program sender;
  DWORD begin = GetTickCount();
  if (!sender.Start(Quoted(gSetup.work + u"many10k"))) return false;
  std::vector<Text> partial;
  bool listed = WaitUntil(120000, [&] {
    Text status = WindowText(main.status);
    if (status != expected && status.find(u": 0") == Text::npos && !status.empty() &&
        (partial.empty() || partial.back() != status))
      partial.push_back(status);
    return status == expected;
  });
  DWORD elapsed = GetTickCount() - begin;
  std::printf("benchmark: %d files handed over and listed in %lu ms (goal %lu ms)\n", kManyFiles,
              static_cast<unsigned long>(elapsed), static_cast<unsigned long>(kManyFilesGoalMs));
  if (!listed) return Fail("the count never reached 10 000", WindowText(main.status));
  Note(std::to_string(partial.size()) + " counts were shown while the files were added" +
       (partial.empty() ? std::string() : ", the first " + Quote(partial.front())));
  if (elapsed > kManyFilesBoundMs) return Fail("listing took " + std::to_string(elapsed) + " ms");
  if (ListCount(main.list) != kManyFiles) return Fail("the list holds " + std::to_string(ListCount(main.list)));
  // The files came in below the rows in view: the list shows the last of them.
  RECT area = {};
  GetClientRect(main.list, &area);
  LRESULT rowHeight = Send(main.list, LB_GETITEMHEIGHT, 0, 0);
  LRESULT top = Send(main.list, LB_GETTOPINDEX, 0, 0);
  if (rowHeight <= 0 || top + (area.bottom - area.top) / rowHeight < kManyFiles)
    return Fail("the last added file is not in view (first row shown " + std::to_string(top) + ")");
  DWORD code = 0;
  sender.WaitExit(kExitWaitMs, &code);
  return true;
}

namespace {

// Config.dat with the results going to `out` and "clear the list on add" as given.
bool WriteConfigForRun(TextView out, int32_t clearListOnAdd) {
  if (!WriteConfigWithOutputFolder(out)) return false;
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  settings.ClearListOnAdd = clearListOnAdd;
  return WriteFileBytes(ConfigFile(), &settings, sizeof settings) || Fail("cannot write Config.dat");
}

bool RunNumber(TextView status, int* index) {
  // "Выполняется: ( 3/ 43)  Имя: ..." -> 3
  if (status.rfind(u"Выполняется: (", 0) != 0) return false;
  *index = 0;
  for (size_t i = status.find(u'(') + 1; i < status.size() && status[i] != u'/'; ++i)
    if (status[i] >= u'0' && status[i] <= u'9') *index = *index * 10 + (status[i] - u'0');
  return true;
}

// A hand-over of three more files while the forty of "many" convert: the run converts
// all of them once, the list is never emptied under it, Start stays disabled until it ends.
bool HandOverDuringOneRun(int32_t clearListOnAdd) {
  Text out = gSetup.work + (clearListOnAdd ? u"out-handover-clear\\" : u"out-handover\\");
  if (!WriteConfigForRun(out, clearListOnAdd)) return false;
  Program program;
  MainWindow main;
  int many = static_cast<int>(FolderFiles(gSetup.work + u"many\\").size());
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"many")) || !WaitListCount(main, many)) return false;
  PressButton(main, kIdStart, main.start);
  int index = 0;
  if (!WaitUntil(30000, [&] { return RunNumber(WindowText(main.status), &index) && index >= 2; }))
    return Fail("the run never reached its second file");
  if (!RunLaterInstance(Quoted(gSetup.work + u"in2"))) return false;
  if (!WaitListCount(main, many + 3)) return false;
  bool startEnabled = false;
  std::vector<Text> seen;
  bool ended = WaitUntil(120000, [&] {
    Text status = WindowText(main.status);
    if (IsRunSummary(status)) return true;
    if (IsWindowEnabled(main.start)) startEnabled = true;
    return false;
  });
  if (!ended) return Fail("the run did not end");
  if (startEnabled) return Fail("Start was enabled while the run went on");
  Text expected = u"Готово: преобразовано " + NumberText(many + 3) + u", пропущено 0, ошибок 0 (";
  if (!ExpectSummary(main, expected)) return false;
  size_t written = FolderFiles(out).size();
  Note(std::to_string(written) + " files written, " + std::to_string(ListCount(main.list)) + " listed");
  if (written != static_cast<size_t>(many + 3)) return Fail("not every file was written once");
  return true;
}

HWND ContextMenuOnRow(const Program& program, const MainWindow& main, int row) {
  LRESULT height = Send(main.list, LB_GETITEMHEIGHT, 0, 0);
  LPARAM at = MAKELPARAM(30, static_cast<int>(row * height + height / 2));
  // A real right click: the list box turns the button's release into WM_CONTEXTMENU.
  PostMessageW(main.list, WM_RBUTTONDOWN, MK_RBUTTON, at);
  PostMessageW(main.list, WM_RBUTTONUP, 0, at);
  return WaitPopupMenu(program);
}

}  // namespace

bool HandOverDuringARunConvertsEveryFileOnce() {
  return HandOverDuringOneRun(0) && HandOverDuringOneRun(8);
}

bool FailedFilesStayVisibleAfterTheRun() {
  Text out = gSetup.work + u"out-failed\\";
  if (!WriteConfigForRun(out, 0)) return false;
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"bad")) || !WaitListCount(main, 3)) return false;
  PressButton(main, kIdStart, main.start);
  // Nobody answers the question: it closes by itself after six seconds and the run goes on.
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end");
  Screenshot("run-with-failures");
  if (!ExpectSummary(main, u"Готово: преобразовано 2, пропущено 0, ошибок 1 (")) return false;
  LRESULT selected = Send(main.list, LB_GETCURSEL, 0, 0);
  std::vector<Text> items = ListItems(main.list);
  if (selected < 0 || static_cast<size_t>(selected) >= items.size() || items[selected].find(u"cut.jpg") == Text::npos)
    return Fail("the failed file is not the selected entry");
  Text logFolder = gSetup.programFolder + u"LOGFILE\\";
  Text listName;
  for (const Text& name : FolderFiles(logFolder))
    if (name.rfind(u"FAILED_", 0) == 0) listName = name;
  if (listName.empty()) return Fail("no list of failed files beside the program");
  std::vector<uint8_t> bytes = ReadFileBytes(logFolder + listName);
  std::string list(bytes.begin(), bytes.end());
  Note("LOGFILE\\" + TextToUtf8(listName) + ": " + list.substr(3, list.find('\r') == std::string::npos ? 0 : list.find('\r') - 3));
  if (list.find("cut.jpg\t") == std::string::npos || list.find("Error: 13") == std::string::npos)
    return Fail("the list does not name cut.jpg and its reason");
  DeleteFileIfAny(logFolder + listName);
  return true;
}

bool RightClickActsOnTheRowUnderTheMouse() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"in2")) || !WaitListCount(main, 3)) return false;
  SelectTab(main, 0);
  Send(main.list, LB_SETCURSEL, 0, 0);
  std::vector<Text> before = ListItems(main.list);
  HWND menu = ContextMenuOnRow(program, main, 2);
  if (!menu) return Fail("no menu opened");
  Screenshot("right-click-menu");
  if (Send(main.list, LB_GETCURSEL, 0, 0) != 2) return Fail("the row under the mouse was not selected");
  // "Удалить выделенный пункт" is the third entry from the end (then "Очистить список",
  // a separator and "Отмена").
  for (WPARAM key : {VK_UP, VK_UP, VK_UP, VK_RETURN}) {
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    PumpFor(150);
  }
  if (!WaitListCount(main, 2)) return false;
  std::vector<Text> after = ListItems(main.list);
  if (after != std::vector<Text>{before[0], before[1]}) return Fail("the deleted entry is not the row under the mouse");
  Note("deleted " + Quote(before[2]));
  return true;
}

// A PNG whose left half is clear and whose right half is half-transparent red, converted to
// JPG: white where it was clear, pink where red lay half over white; never black.
bool TransparentPngBecomesWhiteInJpg() {
  Text out = gSetup.work + u"out-alpha\\";
  if (!WriteConfigForRun(out, 0)) return false;
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"alpha")) || !WaitListCount(main, 1)) return false;
  PressButton(main, kIdStart, main.start);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 30000, &seen)) return Fail("the run did not end");
  std::vector<uint8_t> bytes = ReadFileBytes(out + u"alpha.jpg");
  int32_t error = 0;
  InitImageLibrary();
  Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
  if (!image) return Fail("alpha.jpg cannot be read back (" + std::to_string(error) + ")");
  auto within = [](int value, int expected) { return value >= expected - 6 && value <= expected + 6; };
  bool ok = true;
  for (uint32_t y : {5u, 20u, 35u}) {
    PaletteEntry clear = PixelAt(image, 5, y);
    PaletteEntry half = PixelAt(image, 32, y);
    Note("row " + std::to_string(y) + ": clear part " + std::to_string(clear.red) + "," + std::to_string(clear.green) +
         "," + std::to_string(clear.blue) + "; half red " + std::to_string(half.red) + "," +
         std::to_string(half.green) + "," + std::to_string(half.blue));
    if (!within(clear.red, 255) || !within(clear.green, 255) || !within(clear.blue, 255)) ok = Fail("the clear part is not white");
    if (!within(half.red, 255) || !within(half.green, 128) || !within(half.blue, 128)) ok = Fail("half red is not laid on white");
  }
  return ok;
}
