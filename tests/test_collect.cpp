#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/ui_port.h"
#include "engine/run/run.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"

namespace {

std::vector<Text> Entries() {
  std::vector<Text> out;
  for (int32_t i = 0; i < FileListCount(); ++i) out.push_back(FileListText(i));
  return out;
}

std::vector<Text> Sorted(std::vector<Text> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class Collect : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = gAppSettings;
    gAppSettings.ClearListOnAdd = 0;
    gAppSettings.Recursive = 0;  // whatever an earlier test left
    ResetFakeUi();
    FileListClear();
  }
  void TearDown() override {
    FileListClear();
    gAppSettings = saved_;
  }
  // Makes a folder of the scratch area holding the given files (sub/x makes sub too).
  Text Folder(const std::string& name, std::initializer_list<std::string> files) {
    std::filesystem::create_directories(dir.path() + "/" + name);
    for (const auto& f : files) {
      std::filesystem::path p = std::filesystem::path(dir.path()) / name / f;
      std::filesystem::create_directories(p.parent_path());
      dir.Write(name + "/" + f, "x");
    }
    return dir.Path(name);
  }
  void ExpectCounters(int n) {
    EXPECT_EQ(gFakePageCount, u"Всего: " + NumberText(n));
    EXPECT_EQ(gFakeStatusLine, u"Всего файлов в списке: " + NumberText(n));
    EXPECT_EQ(gFakeStartEnabled, n > 0);
  }
  ScratchFolder dir;

 private:
  AppSettings saved_;
};

// --- the command-text scanner ----------------------------------------------------------

TEST(SplitCommandText, Tokens) {
  struct Row {
    Text text;
    std::vector<Text> tokens;
  } rows[] = {
      {u"\"/pics/my folder\" /pics/a.jpg", {u"\"/pics/my folder\"", u"/pics/a.jpg"}},
      // a quote in the middle drops what came before it
      {u"ab\"x y\"", {u"\"x y\""}},
      {u"ab\"x y\"cd", {u"\"x y\"", u"cd"}},
      {u"a \"b c", {u"a", u"\"b c"}},  // ends inside quotes
      {u"a \"", {u"a", u"\""}},
      {u"a\tb c", {u"a\tb", u"c"}},  // only the blank separates
      {u"   a    b   ", {u"a", u"b"}},
      {u"\"a\"\"b\"", {u"\"a\"", u"\"b\""}},
      {u"\"\" x", {u"\"\"", u"x"}},
      {u"a\"", {u"\""}},
      {Text(u"a b\0c d", 7), {u"a", u"b"}},  // a zero unit ends the text
      {u"", {}},
      {u"    ", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitCommandText(row.text), row.tokens) << TextToUtf8(row.text);
}

TEST(SplitCommandText, TokensKeepAt275Units) {
  auto tokens = SplitCommandText(Text(300, u'x') + u" y");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0], Text(275, u'x'));
  EXPECT_EQ(tokens[1], u"y");

  tokens = SplitCommandText(u"\"" + Text(300, u'q') + u"\" z");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0], u"\"" + Text(274, u'q')) << "the opening quote counts, the closing one is lost";
  EXPECT_EQ(tokens[1], u"z");
}

// --- the extension filter ----------------------------------------------------------------

TEST_F(Collect, FilterIsASubstringTestOnLowerCase) {
  struct Row {
    Text filter;
    const char16_t* path;
    int32_t result;
    bool added;
  } rows[] = {
      {u"", u"/p/a.jpg", 1, true},
      {u"", u"/p/a.JPEG", 1, true},
      {u"", u"/p/a.peg", 1, true},  // inside "jpeg,"
      {u"", u"/p/a.g", 1, true},    // inside "jpg,"
      {u"", u"/p/a.tiff", 1, false},
      {u"", u"/p/a.exe", 1, false},
      {u"", u"/p/a.tar.psd", 1, true},
      {u"png", u"/p/a.PNG", 1, true},
      {u"png", u"/p/a.jpg", 1, false},
      {u"PNG", u"/p/a.png", 1, true},
      // Only the comma separates, so "jpg" is no longer an item of "jpgpng"; "png," still
      // occurs in "jpgpng," though, and the substring test lets png through.
      {u"jpgpng", u"/p/a.jpg", 1, false},
      {u"jpgpng", u"/p/a.png", 1, true},
      {u"jpg,,png", u"/p/a.png", 1, true},
      {u"exe", u"/p/tool.exe", 1, true},
      {Text(74, u'x') + u",png", u"/p/a.png", 1, true},   // 78 units and the comma fit
      {Text(75, u'x') + u",png", u"/p/a.png", 1, false},  // 79 units: no room for the comma
      {u"", u"/p/noext", 0, false},
      {u"", u"/p/dot.", 0, false},
      {u"", u"/p.jpg/noext", 0, false},  // the dot must be in the last component
      {u"", u"/p/.jpg", 1, true},
  };
  for (const auto& row : rows) {
    FileListClear();
    gFakeFilterText = row.filter;
    EXPECT_EQ(AddFileIfAccepted(row.path), row.result) << TextToUtf8(row.filter) << " " << TextToUtf8(row.path);
    EXPECT_EQ(FileListCount(), row.added ? 1 : 0) << TextToUtf8(row.filter) << " " << TextToUtf8(row.path);
  }
}

TEST_F(Collect, PathsLongerThan260UnitsAreNeverAdded) {
  Text at260 = u"/" + Text(255, u'a') + u".jpg";
  Text at261 = u"/" + Text(256, u'a') + u".jpg";
  ASSERT_EQ(at260.size(), 260u);
  EXPECT_EQ(AddFileIfAccepted(at261), 0);
  EXPECT_EQ(FileListCount(), 0);
  EXPECT_EQ(AddFileIfAccepted(at260), 1);
  EXPECT_EQ(Entries(), std::vector<Text>{at260});
}

TEST_F(Collect, MissingFilesAreTakenAsFiles) {
  AddPath(dir.Path("nowhere/ghost.png"));
  EXPECT_EQ(Entries(), std::vector<Text>{dir.Path("nowhere/ghost.png")});
}

TEST_F(Collect, DuplicatesUnderAnyCaseLeaveOneEntry) {
  Text file = dir.Path("Photo.jpg");
  dir.Write("Photo.jpg", "x");
  AddPath(file);
  AddPath(file);
  AddPath(ToUpper(file));
  AddPath(ToLower(file));
  EXPECT_EQ(Entries(), std::vector<Text>{file}) << "the first spelling stays";
  EXPECT_EQ(AddFileIfAccepted(file), 1) << "a refused duplicate still counts as having an extension";
  ExpectCounters(1);
}

// --- folders -------------------------------------------------------------------------------

TEST_F(Collect, FolderGivesOnlyVisibleTopLevelFiles) {
  Text folder = Folder("in", {"a.jpg", "B.PNG", "notes.txt", "noext", ".hidden.jpg", "sub/c.jpg", "deep/er/d.png"});
  std::filesystem::create_directory(dir.path() + "/in/dir.jpg");  // a folder with an image name
  AddPath(folder);
  EXPECT_EQ(Sorted(Entries()), Sorted({folder + u"/B.PNG", folder + u"/a.jpg"}));
  ExpectCounters(2);
}

TEST_F(Collect, FolderTextIsJoinedUnchanged) {
  Text folder = Folder("in", {"a.jpg"});
  AddPath(folder + u"/");
  EXPECT_EQ(Entries(), std::vector<Text>{folder + u"//a.jpg"});
}

TEST_F(Collect, FolderThatCannotBeListedAddsNothing) {
  AddFolderFiles(dir.Path("missing"));
  EXPECT_EQ(FileListCount(), 0);
}

// --- folder trees ----------------------------------------------------------------------------

class Tree : public Collect {
 protected:
  void SetUp() override {
    Collect::SetUp();
    gAppSettings.Recursive = 1;
    gAppSettings.OutputMode = 2;
    TakeUnreadableFolders();
    TakeLeftOutPaths();
  }
  std::vector<int32_t> Roots() {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < FileListCount(); ++i) out.push_back(FileListRootUnits(i));
    return out;
  }
  void Link(const std::string& target, const std::string& name) {
    std::filesystem::create_directory_symlink(target, dir.path() + "/" + name);
  }
};

// Three levels with the same names at each; a folder's files come before its subfolders,
// and every entry remembers the folder that was dropped, however deep it was found.
TEST_F(Tree, WalksEveryLevelAndRemembersTheDroppedFolder) {
  Text top = Folder("Photos", {"IMG_0001.jpg", "2024/IMG_0001.jpg", "2024/Trip/IMG_0001.jpg", "2024/Trip/b.png",
                               "2025/IMG_0001.jpg", "2025/notes.txt"});
  AddPath(top);
  std::vector<Text> entries = Entries();
  EXPECT_EQ(Sorted(entries), Sorted({top + u"/IMG_0001.jpg", top + u"/2024/IMG_0001.jpg", top + u"/2024/Trip/IMG_0001.jpg",
                                     top + u"/2024/Trip/b.png", top + u"/2025/IMG_0001.jpg"}));
  EXPECT_EQ(entries[0], top + u"/IMG_0001.jpg") << "the top's files first";
  auto at = [&](const Text& path) { return std::find(entries.begin(), entries.end(), path) - entries.begin(); };
  EXPECT_LT(at(top + u"/2024/IMG_0001.jpg"), at(top + u"/2024/Trip/IMG_0001.jpg"));
  EXPECT_EQ(Roots(), std::vector<int32_t>(5, static_cast<int32_t>(top.size() + 1)));
  ExpectCounters(5);
  EXPECT_TRUE(TakeUnreadableFolders().empty());
}

TEST_F(Tree, HiddenFilesAndFoldersAreLeftOutAtEveryLevel) {
  Text top = Folder("in", {"a.jpg", ".b.jpg", "sub/c.jpg", "sub/.d.jpg", ".secret/e.jpg", "sub/.deeper/f.jpg"});
  AddPath(top);
  EXPECT_EQ(Sorted(Entries()), Sorted({top + u"/a.jpg", top + u"/sub/c.jpg"}));
}

// A link back to the top (or to a folder between) would walk forever; it is passed over,
// while a link that leads elsewhere is walked like any folder, once.
TEST_F(Tree, LinksBackIntoTheWalkAreNotFollowed) {
  Text top = Folder("in", {"a.jpg", "sub/b.jpg"});
  Text other = Folder("other", {"o.jpg"});
  Link(dir.path() + "/in", "in/sub/loop");
  Link(dir.path() + "/in/sub", "in/sideways");
  Link(dir.path() + "/other", "in/elsewhere");
  Link(dir.path() + "/other", "in/sub/elsewhere-again");
  AddPath(top);
  std::vector<Text> entries = Sorted(Entries());
  std::string seen;
  for (const Text& e : entries) seen += TextToUtf8(e.substr(top.size())) + " ";
  ASSERT_EQ(entries.size(), 3u) << seen;
  // Which spelling reaches a folder first is the file system's order; each file once.
  std::vector<Text> names;
  for (const Text& e : entries) names.push_back(e.substr(e.rfind(u'/') + 1));
  EXPECT_EQ(Sorted(names), (std::vector<Text>{u"a.jpg", u"b.jpg", u"o.jpg"})) << seen;
  EXPECT_EQ(seen.find("loop"), std::string::npos) << seen;
}

// Earlier results are not sources: the subfolder of mode 1 and the output folder of mode
// 0 are passed over wherever they lie in the tree; other modes walk them like any folder.
TEST_F(Tree, TheFoldersThisProgramWritesIntoAreNotWalked) {
  Text top = Folder("in", {"a.jpg", "TessalyOut/a.jpg", "x/TESSALYOUT/b.jpg", "x/y/Out/c.jpg"});
  SetField(gAppSettings.SubfolderName, u"TessalyOut");
  SetField(gAppSettings.OutputFolder, top + u"/x/y/Out/");
  gAppSettings.OutputMode = 1;
  AddPath(top);
  // Letter case counts where the file system's does: natively TESSALYOUT is another folder.
  EXPECT_EQ(Sorted(Entries()), Sorted({top + u"/a.jpg", top + u"/x/TESSALYOUT/b.jpg", top + u"/x/y/Out/c.jpg"}));
  FileListClear();
  gAppSettings.OutputMode = 0;
  AddPath(top);
  EXPECT_EQ(Sorted(Entries()), Sorted({top + u"/a.jpg", top + u"/TessalyOut/a.jpg", top + u"/x/TESSALYOUT/b.jpg"}));
}

TEST_F(Tree, OffTheSubfoldersAreNotEnteredAndTheFolderIsStillTheRoot) {
  Text top = Folder("in", {"a.jpg", "sub/b.jpg"});
  gAppSettings.Recursive = 0;
  AddPath(top);
  EXPECT_EQ(Entries(), std::vector<Text>{top + u"/a.jpg"});
  EXPECT_EQ(Roots(), std::vector<int32_t>{static_cast<int32_t>(top.size() + 1)});
  // A file given by itself has no root: its output follows today's rule.
  AddPath(top + u"/sub/b.jpg");
  EXPECT_EQ(FileListRootUnits(1), 0);
}

// Below a folder this long no file could be listed; the folder is named once, as a file
// path too long is, instead of a silence.
TEST_F(Tree, FoldersTooLongForAnyEntryAreNamed) {
  std::string deep = "d";
  Text top = Folder("in", {"a.jpg"});
  while (top.size() + 1 + deep.size() < kMaxEntryUnits) deep += "/" + std::string(40, 'x');
  Folder("in/" + deep, {"far.jpg"});
  AddPath(top);
  std::vector<Text> left = TakeLeftOutPaths();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_GE(left[0].size(), kMaxEntryUnits);
  EXPECT_EQ(Entries(), std::vector<Text>{top + u"/a.jpg"});
}

// A folder that cannot be listed is named once, however often it was met, and the rest
// of the tree is listed. Root reads every folder, so the walk then runs as nobody.
TEST_F(Tree, UnreadableFolderIsNamedOnceAndTheRestGoesOn) {
  Text top = Folder("in", {"a.jpg", "locked/b.jpg", "open/c.jpg"});
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  std::filesystem::permissions(dir.path() + "/in/locked", std::filesystem::perms::none);
  auto walk = [&]() -> int {
    AddPath(top);
    AddPath(top);
    std::vector<Text> unreadable = TakeUnreadableFolders();
    std::vector<Text> expected{top + u"/a.jpg", top + u"/open/c.jpg"};
    if (unreadable != std::vector<Text>{top + u"/locked"}) return 1;
    if (Sorted(Entries()) != expected) return 2;
    return TakeUnreadableFolders().empty() ? 0 : 3;
  };
  int outcome = 0;
  if (::geteuid() != 0) {
    outcome = walk();
  } else {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? walk() : 9);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome = WIFEXITED(status) ? WEXITSTATUS(status) : 10;
  }
  std::filesystem::permissions(dir.path() + "/in/locked", std::filesystem::perms::owner_all);
  EXPECT_EQ(outcome, 0) << "1: not named once, 2: the rest not listed, 3: named again";
}

// --- command text --------------------------------------------------------------------------

TEST_F(Collect, QuotedFolderWithBlankThenFile) {
  Text folder = Folder("my pics", {"a.jpg", "skip.txt", "sub/b.jpg"});
  Text file = Folder("other", {"z.png"}) + u"/z.png";
  ParseCommandText(u"\"" + folder + u"\" " + file);
  EXPECT_EQ(Entries(), (std::vector<Text>{folder + u"/a.jpg", file}));
  ExpectCounters(2);
}

TEST_F(Collect, TokenQuotesAreStrippedOnBothEnds) {
  ParseCommandText(u"\"/p/a.jpg\" /p/b.jpg \"/p/c.jpg\" \"\" \"/p/d.jpg");
  EXPECT_EQ(Entries(), (std::vector<Text>{u"/p/a.jpg", u"/p/b.jpg", u"/p/c.jpg", u"/p/d.jpg"}));
}

TEST_F(Collect, OwnCommandLineStartsWithTheProgram) {
  std::vector<Text> tokens = SplitCommandText(ProcessCommandLine());
  ASSERT_FALSE(tokens.empty());
  Text first = tokens[0];
  first.erase(std::remove(first.begin(), first.end(), u'"'), first.end());
  EXPECT_TRUE(first.size() >= 13 && first.compare(first.size() - 13, 13, u"tessaly_tests") == 0)
      << TextToUtf8(first);
}

TEST_F(Collect, EmptyTextParsesOwnCommandLineWhichStillClears) {
  AddFileIfAccepted(u"/p/a.jpg");
  ParseCommandText(u"");
  EXPECT_EQ(Entries(), std::vector<Text>{u"/p/a.jpg"}) << "the program path is refused by the filter";
  ExpectCounters(1);

  gAppSettings.ClearListOnAdd = 8;
  ParseCommandText(u"");
  EXPECT_EQ(FileListCount(), 0);
  ExpectCounters(0);
}

// --- ClearListOnAdd and Ctrl -----------------------------------------------------------------

// A hand-over of several paths is one batch, as a drop is: the list is cleared once, then
// every path's files are added (clearing before each path kept only the last one's).
TEST_F(Collect, CommandLineOfThreePathsClearsOnceAndKeepsEveryPath) {
  Text one = Folder("one", {"1.jpg"});
  Text two = Folder("two", {"2.jpg"});
  Text three = Folder("three", {"3a.jpg", "3b.png"});
  AddFileIfAccepted(u"/earlier/e.jpg");
  gAppSettings.ClearListOnAdd = 8;
  ParseCommandText(one + u" " + two + u" " + three);
  EXPECT_EQ(Sorted(Entries()), Sorted({one + u"/1.jpg", two + u"/2.jpg", three + u"/3a.jpg", three + u"/3b.png"}));
  ExpectCounters(4);
  // A hand-over without a path clears nothing.
  ParseCommandText(u"   ");
  EXPECT_EQ(FileListCount(), 4);
}

TEST_F(Collect, CtrlHeldKeepsEarlierEntries) {
  Text one = Folder("one", {"1.jpg"});
  Text two = Folder("two", {"2.jpg"});
  AddFileIfAccepted(u"/earlier/e.jpg");
  gAppSettings.ClearListOnAdd = 8;
  gFakeCtrlHeld = true;
  ParseCommandText(one + u" " + two);
  EXPECT_EQ(Entries(), (std::vector<Text>{u"/earlier/e.jpg", one + u"/1.jpg", two + u"/2.jpg"}));
  AddDroppedPaths({u"/p/d.png"});
  EXPECT_EQ(FileListCount(), 4);
  ExpectCounters(4);

  gFakeCtrlHeld = false;
  gAppSettings.ClearListOnAdd = 0;
  AddPath(u"/p/e.png");
  AddDroppedPaths({u"/p/f.png"});
  EXPECT_EQ(FileListCount(), 6) << "with clearing off nothing is removed either";
}

TEST_F(Collect, DropOfThreeFilesReplacesTheList) {
  AddFileIfAccepted(u"/earlier/e.jpg");
  AddFileIfAccepted(u"/earlier/f.jpg");
  gAppSettings.ClearListOnAdd = 8;
  EXPECT_EQ(AddDroppedPaths({u"/p/a.jpg", u"/p/b.png", u"/p/c.gif"}), 3);
  EXPECT_EQ(Entries(), (std::vector<Text>{u"/p/a.jpg", u"/p/b.png", u"/p/c.gif"}));
  ExpectCounters(3);
}

TEST_F(Collect, DropMixesFoldersAndFilesAndCountsEveryName) {
  Text folder = Folder("in", {"a.jpg", "sub/b.jpg", ".h.jpg"});
  EXPECT_EQ(AddDroppedPaths({folder, u"/p/x.txt", u"/p/y.png"}), 3);
  EXPECT_EQ(Entries(), (std::vector<Text>{folder + u"/a.jpg", u"/p/y.png"}));
}

// --- counters --------------------------------------------------------------------------------

TEST_F(Collect, CountersFollowEveryBatch) {
  RefreshFileCount();
  ExpectCounters(0);
  AddPath(u"/p/a.jpg");
  ExpectCounters(1);
  AddDroppedPaths({u"/p/b.jpg", u"/p/c.jpg"});
  ExpectCounters(3);
  for (int i = 0; i < 1234 - 3; ++i) FileListAppend(u"/q/" + NumberText(i) + u".jpg");
  AddPath(u"/p/c.JPG");
  EXPECT_EQ(gFakePageCount, u"Всего: 1234");
  ClearFileList();
  ExpectCounters(0);
  // A batch that clears and then adds nothing leaves the counters at zero and Start off.
  AddFileIfAccepted(u"/p/a.jpg");
  gAppSettings.ClearListOnAdd = 8;
  EXPECT_EQ(AddDroppedPaths({u"/p/readme.txt"}), 1) << "refused names are still dropped items";
  ExpectCounters(0);
}

// While a run walks the list, additions neither enable Start nor empty the list under the
// run (a clear that was asked for is counted as kept); the added files are counted even
// when a clear came first.
TEST_F(Collect, AddingDuringARunKeepsStartOffAndTheList) {
  AddFileIfAccepted(u"/earlier/e.jpg");
  gAppSettings.ClearListOnAdd = 8;
  RunBlock block;
  ASSERT_TRUE(BeginRun(&block, gAppSettings));
  gRunState = kRunRunning;
  UiEnableStart(false);
  int64_t added = FilesAddedSoFar();
  int64_t kept = ClearsKeptSoFar();
  AddDroppedPaths({u"/p/a.jpg", u"/p/b.jpg"});
  EXPECT_FALSE(gFakeStartEnabled);
  EXPECT_EQ(FileListCount(), 3);
  EXPECT_EQ(ClearsKeptSoFar() - kept, 1);
  AbandonRun(&block);
  gRunState = kRunIdle;

  AddDroppedPaths({u"/p/c.jpg", u"/p/d.jpg"});
  EXPECT_TRUE(gFakeStartEnabled);
  EXPECT_EQ(Entries(), (std::vector<Text>{u"/p/c.jpg", u"/p/d.jpg"}));
  EXPECT_EQ(FilesAddedSoFar() - added, 4) << "the count of a hand-over that cleared first";
}

// --- filter clean-up and drop-down choices ----------------------------------------------------

TEST(NormaliseFilterText, CleanUp) {
  struct Row {
    Text edit;
    Text clean;
  } rows[] = {
      {u"JPG; PNG", u"jpgpng"},
      {u"jpg, ,png", u"jpg,,png"},
      {u"jpg,,,,png", u"jpg,png"},
      {u"a" + Text(16, u',') + u"b", u"a,,b"},  // exactly one ",,," pass and two ",," passes
      {u"a" + Text(8, u',') + u"b", u"a,b"},
      {u"  ,Jpg,PNG,  ", u"jpg,png"},
      {u" ;,jpg", u",jpg"},  // characters go after the strip
      {u"*.jpg|*.png", u"jpgpng"},
      {u" `|.!@#$%^&*()_-=+~{}[]\"><?/\\:;'webp", u"webp"},
      {u"jpg\tpng", u"jpg\tpng"},
      {u"ПНГ,Jpg", u"пнг,jpg"},
      {u"", u""},
      {u" , ;.", u""},
      {Text(100, u'A'), Text(79, u'a')},
  };
  for (const auto& row : rows) EXPECT_EQ(NormaliseFilterText(row.edit), row.clean) << TextToUtf8(row.edit);
}

TEST(FillFilterChoices, DefaultPresets) {
  Text cleaned;
  auto items = FillFilterChoices(kDefaultExtensionList, &cleaned);
  EXPECT_EQ(items, (std::vector<Text>{u"jpeg,jpg,png,gif,bmp,webp,tif,pcx,psd,heic,heif,avif,jxl", u"jpg", u"png", u"gif", u"webp",
                                      u"bmp", u"psd", u"bmp,tiff,pcx,psd", u"heic,heif", u"avif", u"jxl"}));
  EXPECT_EQ(cleaned, kDefaultExtensionList);
}

TEST(FillFilterChoices, AtMostNineteenPresets) {
  Text presets;
  for (int i = 1; i <= 25; ++i) presets += (i > 1 ? u"|p" : u"p") + NumberText(i);
  auto items = FillFilterChoices(presets, nullptr);
  ASSERT_EQ(items.size(), 20u);
  EXPECT_EQ(items.front(), kDefaultFilter);
  EXPECT_EQ(items[1], u"p1");
  EXPECT_EQ(items.back(), u"p19");
}

TEST(FillFilterChoices, CleanUpAndEarlyEnd) {
  struct Row {
    Text presets;
    Text cleaned;
    std::vector<Text> presetsShown;
  } rows[] = {
      {u"", u"", {}},
      {u"jpg||png", u"jpg||png", {u"jpg"}},
      {u"|jpg", u"|jpg", {}},
      {u"  ,JPG , PNG|Gif,,  ", u"jpg,png|gif", {u"jpg,png", u"gif"}},
      {u"*.jpg|*.png", u"jpg|png", {u"jpg", u"png"}},
      {u"jpg,,,png", u"jpg,,png", {u"jpg,,png"}},  // only one ",," pass here
      {u"jpg|png|", u"jpg|png|", {u"jpg", u"png"}},
      {Text(200, u'b'), Text(127, u'b'), {Text(127, u'b')}},
  };
  for (const auto& row : rows) {
    Text cleaned;
    auto items = FillFilterChoices(row.presets, &cleaned);
    EXPECT_EQ(cleaned, row.cleaned) << TextToUtf8(row.presets);
    std::vector<Text> expected{kDefaultFilter};
    expected.insert(expected.end(), row.presetsShown.begin(), row.presetsShown.end());
    EXPECT_EQ(items, expected) << TextToUtf8(row.presets);
  }
}

}  // namespace
