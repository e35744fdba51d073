#include <gtest/gtest.h>

#include "app/handover.h"
#include "base/paths.h"
#include "shell/autorun.h"
#include "shell/context_menu.h"
#include "shell/output_folder.h"
#include "shell/registry_memory.h"
#include "tests/test_support.h"

namespace {

constexpr RegistryRoot kMachine = RegistryRoot::ClassesRoot;
constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
const Text kExe = u"C:\\Program Files\\Tessaly\\Tessaly.exe";
const Text kDriveVerb = u"Drive\\Shell\\XxxRightClick";
const Text kDriveCommand = u"Drive\\Shell\\XxxRightClick\\Command";
const Text kUserDriveVerb = u"Software\\Classes\\Drive\\Shell\\XxxRightClick";
const Text kUserDriveCommand = u"Software\\Classes\\Drive\\Shell\\XxxRightClick\\Command";

// The text of a value up to its terminator, and its length in units (the data length).
struct StoredText {
  bool present = false;
  Text text;
  size_t units = 0;
};

StoredText Stored(RegistryRoot root, TextView key, TextView name = u"") {
  StoredText stored;
  std::vector<char16_t> units;
  if (!MemoryRegistryValue(root, key, name, &units)) return stored;
  stored.present = true;
  stored.units = units.size();
  for (char16_t unit : units) {
    if (unit == 0) break;
    stored.text.push_back(unit);
  }
  return stored;
}

class DesktopIntegration : public ::testing::Test {
 protected:
  void SetUp() override { MemoryRegistryClear(); }
  void TearDown() override { MemoryRegistryClear(); }
  static void DenyMachineClasses() { MemoryRegistrySetRights(kMachine, {false, false, false}); }
  // The page's click: toggle, then the caption.
  static int32_t Click(const ContextMenuTarget& target) {
    int32_t result = ToggleContextMenuVerb(target.base, kVerbName, kExe);
    SetVerbCaption(VerbKeyPath(target.base, kVerbName), target.caption);
    return result;
  }
};

TEST_F(DesktopIntegration, EachTargetIsAddedWithQuotedCommandAndCaptionThenRemoved) {
  const Text expectedVerbs[] = {u"Drive\\Shell\\XxxRightClick", u"Directory\\Shell\\XxxRightClick",
                                u"*\\Shell\\XxxRightClick"};
  for (int i = 0; i < 3; ++i) {
    const ContextMenuTarget& target = kContextMenuTargets[i];
    const Text& verb = expectedVerbs[i];
    ASSERT_EQ(Click(target), 1) << i;
    StoredText command = Stored(kMachine, verb + u"\\Command");
    EXPECT_EQ(command.text, u"\"C:\\Program Files\\Tessaly\\Tessaly.exe\" \"%L\"");
    EXPECT_EQ(command.units * 2, 552u);
    StoredText caption = Stored(kMachine, verb);
    EXPECT_EQ(caption.text, target.caption);
    EXPECT_EQ(caption.units * 2, 128u);
    EXPECT_TRUE(VerbPresent(verb));
    // A second click takes both keys away and leaves nothing the first one made but
    // the parents ("Drive\Shell").
    EXPECT_EQ(Click(target), 0) << i;
    EXPECT_FALSE(VerbPresent(verb));
    EXPECT_FALSE(RegistryKeyExists(kMachine, verb + u"\\Command"));
    EXPECT_TRUE(RegistryKeyExists(kMachine, Text(target.base) + u"\\Shell"));
  }
  EXPECT_EQ(MemoryRegistryKeyCount(kUser), 0u);
}

TEST_F(DesktopIntegration, ToggleFollowsTheCommandKeyNotTheCaption) {
  struct Row {
    const char* what;
    bool verbKey, commandKey;
    int32_t result;
    bool verbAfter, commandAfter;
  } rows[] = {
      {"command key present, caption missing: both removed", true, true, 0, false, false},
      {"only the verb key: the command is created", true, false, 1, true, true},
      {"nothing: the entry is created", false, false, 1, true, true},
  };
  for (const Row& row : rows) {
    MemoryRegistryClear();
    if (row.verbKey) RegistryCreateKey(kMachine, kDriveVerb);
    if (row.commandKey) RegistryCreateKey(kMachine, kDriveCommand);
    EXPECT_EQ(ToggleContextMenuVerb(u"Drive", kVerbName, kExe), row.result) << row.what;
    EXPECT_EQ(RegistryKeyExists(kMachine, kDriveVerb), row.verbAfter) << row.what;
    EXPECT_EQ(RegistryKeyExists(kMachine, kDriveCommand), row.commandAfter) << row.what;
    EXPECT_EQ(Stored(kMachine, kDriveCommand).present, row.commandAfter) << row.what;
  }
}

// A user without administrator rights cannot change HKEY_CLASSES_ROOT: the entry goes to
// the user's own classes, and entries an administrator made stay recognised.
TEST_F(DesktopIntegration, OrdinaryUserGetsAnEntryOfTheirOwn) {
  DenyMachineClasses();
  ASSERT_EQ(Click(kContextMenuTargets[0]), 1);
  EXPECT_EQ(Stored(kUser, kUserDriveCommand).text, VerbCommandLine(kExe));
  EXPECT_EQ(Stored(kUser, kUserDriveVerb).text, kContextMenuTargets[0].caption);
  EXPECT_EQ(MemoryRegistryKeyCount(kMachine), 0u);
  EXPECT_TRUE(VerbPresent(kDriveVerb));
  EXPECT_EQ(Click(kContextMenuTargets[0]), 0);
  EXPECT_FALSE(RegistryKeyExists(kUser, kUserDriveVerb));
  EXPECT_FALSE(VerbPresent(kDriveVerb));
}

TEST_F(DesktopIntegration, EarlierMachineWideEntryIsRecognisedAndRemovedOnlyWhenAllowed) {
  struct Row {
    const char* what;
    bool machineWritable;
    int32_t result;
    bool presentAfter;
  } rows[] = {
      {"an administrator removes it", true, 0, false},
      // The box must not claim a removal that was refused: the entry is still in the menu.
      {"an ordinary user cannot: the box stays ticked", false, 1, true},
  };
  for (const Row& row : rows) {
    MemoryRegistryClear();
    RegistryCreateKey(kMachine, kDriveCommand);
    if (!row.machineWritable) DenyMachineClasses();
    EXPECT_TRUE(VerbPresent(kDriveVerb)) << row.what;
    EXPECT_EQ(ToggleContextMenuVerb(u"Drive", kVerbName, kExe), row.result) << row.what;
    EXPECT_EQ(VerbPresent(kDriveVerb), row.presentAfter) << row.what;
    EXPECT_EQ(MemoryRegistryKeyCount(kUser), 0u) << row.what;
  }
}

TEST_F(DesktopIntegration, EntryThatCannotBeCompletedIsNotCreated) {
  struct Row {
    const char* what;
    Text exe;
    MemoryRegistryRights user;
  } rows[] = {
      // 269 units + 7 for the quotes and %L: one more than the 275 that fit.
      {"command longer than its 276 units", Text(269, u'x'), {}},
      {"no place may create keys", kExe, {false, false, false}},
      {"keys made but the command cannot be written", kExe, {true, false, true}},
  };
  for (const Row& row : rows) {
    MemoryRegistryClear();
    DenyMachineClasses();
    MemoryRegistrySetRights(kUser, row.user);
    EXPECT_EQ(ToggleContextMenuVerb(u"Drive", kVerbName, row.exe), 0) << row.what;
    EXPECT_EQ(SetVerbCaption(kDriveVerb, u"caption"), 0) << row.what;
    EXPECT_FALSE(VerbPresent(kDriveVerb)) << row.what;
  }
  // The longest command that fits is written whole, terminator included.
  MemoryRegistryClear();
  ASSERT_EQ(ToggleContextMenuVerb(u"Drive", kVerbName, Text(268, u'x')), 1);
  EXPECT_EQ(Stored(kMachine, kDriveCommand).text.size(), 275u);
}

TEST_F(DesktopIntegration, CaptionIsCutTo63Units) {
  RegistryCreateKey(kMachine, kDriveVerb);
  EXPECT_EQ(SetVerbCaption(kDriveVerb, Text(80, u'c')), 1);
  EXPECT_EQ(Stored(kMachine, kDriveVerb).text, Text(63, u'c'));
}

TEST_F(DesktopIntegration, AutorunValueIsQuotedAndItsStartIsRecognised) {
  ASSERT_EQ(AddAutorun(kAutorunValueName, kExe), kAutorunAdded);
  StoredText value = Stored(kUser, kRunKey, kAutorunValueName);
  EXPECT_EQ(value.text, u"\"C:\\Program Files\\Tessaly\\Tessaly.exe\" /auto");
  EXPECT_EQ(value.units * 2, 510u);
  // Windows starts the program with the value as its command line.
  EXPECT_EQ(CommandLineTail(value.text), u"/auto");
  EXPECT_TRUE(WantsHiddenStart(CommandLineTail(value.text)));
  EXPECT_TRUE(RemoveAutorun(kAutorunValueName));
  EXPECT_FALSE(Stored(kUser, kRunKey, kAutorunValueName).present);
  // Removing what is not there changes nothing and reports nothing.
  EXPECT_TRUE(RemoveAutorun(kAutorunValueName));
  EXPECT_TRUE(RegistryKeyExists(kUser, kRunKey));
}

TEST_F(DesktopIntegration, StartWithWindowsBoxSaysWhatIsTrue) {
  struct Row {
    const char* what;
    bool on;
    Text exe;
    MemoryRegistryRights user;
    int32_t autoStart;
    bool message;
    bool valueAfter;
  } rows[] = {
      {"registered", true, kExe, {}, 1, false, true},
      {"the Run key cannot be made", true, kExe, {false, false, false}, 0, true, false},
      {"the value cannot be written", true, kExe, {true, false, true}, 0, true, false},
      // 247 units + 8 for the quotes and " /auto": one more than the 254 that fit.
      {"the command would be cut", true, Text(247, u'x'), {}, 0, true, false},
      {"switched off", false, kExe, {}, 0, false, false},
  };
  for (const Row& row : rows) {
    MemoryRegistryClear();
    MemoryRegistrySetRights(kUser, row.user);
    AutoStartOutcome outcome = SwitchAutoStart(row.on, row.exe);
    EXPECT_EQ(outcome.autoStart, row.autoStart) << row.what;
    EXPECT_EQ(!outcome.message.empty(), row.message) << row.what;
    EXPECT_EQ(Stored(kUser, kRunKey, kAutorunValueName).present, row.valueAfter) << row.what;
  }
  MemoryRegistryClear();
  EXPECT_EQ(SwitchAutoStart(true, Text(246, u'x')).autoStart, 1);
  EXPECT_EQ(SwitchAutoStart(true, kExe).message, u"");
  MemoryRegistrySetRights(kUser, {true, false, true});
  EXPECT_EQ(SwitchAutoStart(true, kExe).message,
            u"Не удается применить - Возможно у Вас нет привилегий Администратора для установки этой опции");
  // A value that cannot be removed still starts the program with Windows.
  EXPECT_EQ(SwitchAutoStart(false, kExe).autoStart, 1);
}

TEST(OutputFolderChooser, OpensAtTheStoredFolderOrTheDefault) {
  ScratchFolder scratch;
  Text existing = WithTrailingBackslash(scratch.Path());
  EXPECT_EQ(BrowseStartFolder(existing), existing);
  EXPECT_EQ(BrowseStartFolder(existing + u"name-without-separator"), existing);
  EXPECT_EQ(BrowseStartFolder(existing + u"gone" + WithTrailingBackslash(u"")), DefaultOutputFolder());
  EXPECT_EQ(BrowseStartFolder(u""), DefaultOutputFolder());
}

}  // namespace
