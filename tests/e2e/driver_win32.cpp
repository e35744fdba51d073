// End-to-end checks of the Win32 program under Wine: this driver starts Tessaly.exe.so,
// watches its windows, drives its controls from outside and checks the files it leaves.
// It can also play the running first instance itself (the mutex, the shared block and a
// window of its own), which checks the hand-over sender without the main window.
//
//   driver <program .exe.so> <test-data folder> <screenshot folder (host path)> [part of a check name]
//
// One line per check (details indented under it), then "N passed, M failed"; the exit
// code is 1 when any failed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"

namespace {

// Faults the error trap caught land in LOGFILE beside the program; none may occur in
// the runs above. Last, so that it sees every run.
bool ProgramLoggedNoFaults() {
  Text folder = gSetup.programFolder + u"LOGFILE\\";
  std::vector<Text> logs = FolderFiles(folder);
  for (const Text& name : logs) {
    std::vector<uint8_t> bytes = ReadFileBytes(folder + name);
    size_t shown = std::min<size_t>(bytes.size(), 600);
    Fail("fault log " + TextToUtf8(name) + ": " + std::string(bytes.begin(), bytes.begin() + shown));
  }
  return logs.empty();
}

struct Check {
  const char* name;
  bool (*run)();
};

const Check kChecks[] = {
    {"instance_mutex_rule", InstanceMutexRule},
    {"shared_block_operations", SharedBlockOperations},
    {"system_error_text_names_the_code", SystemErrorTextNamesTheCode},
    {"second_start_hands_over_its_arguments", SecondStartHandsOverItsArguments},
    {"second_start_without_arguments_still_hands_over", SecondStartWithoutArgumentsStillHandsOver},
    {"long_tail_arrives_cut_to_2047_units", LongTailArrivesCutTo2047Units},
    {"simultaneous_senders_lose_nothing", SimultaneousSendersLoseNothing},
    {"start_without_receiver_shows_refusal", StartWithoutReceiverShowsRefusal},
    {"main_window_appears", MainWindowAppears},
    {"each_tab_screenshot", EachTabScreenshot},
    {"arguments_list_exactly_the_accepted_files", ArgumentsListExactlyTheAcceptedFiles},
    {"second_start_adds_files_without_duplicates", SecondStartAddsFilesWithoutDuplicates},
    {"start_converts_the_listed_files", StartConvertsTheListedFiles},
    {"failed_file_asks_and_no_ends_the_run", FailedFileAsksAndNoEndsTheRun},
    {"hostile_files_fail_alone_in_the_window", HostileFilesFailAloneInTheWindow},
    {"stop_ends_after_the_current_file", StopEndsAfterTheCurrentFile},
    {"auto_start_stays_in_the_tray", AutoStartStaysInTheTray},
    {"close_during_a_run_loses_nothing", CloseDuringARunLosesNothing},
    {"close_writes_config_with_launch_count_and_tab", CloseWritesConfigWithLaunchCountAndTab},
    {"unwritable_settings_say_so_at_close", UnwritableSettingsSaySoAtClose},
    {"session_end_saves_the_settings", SessionEndSavesTheSettings},
    {"delete_key_and_clearing_follow_the_counts", DeleteKeyAndClearingFollowTheCounts},
    {"program_logged_no_faults", ProgramLoggedNoFaults},
};

Text WithBackslash(Text path) {
  if (!path.empty() && path.back() != u'\\') path += u'\\';
  return path;
}

Text ArgumentText(wchar_t* argument) {
  return Text(reinterpret_cast<const char16_t*>(argument));
}

}  // namespace

// C linkage: the Winelib start-up code calls wmain by its plain name.
extern "C" int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::printf("usage: driver <program .exe.so> <test-data folder> <screenshot folder> [part of a check name]\n");
    return 2;
  }
  gSetup.program = ArgumentText(argv[1]);
  gSetup.programFolder = gSetup.program.substr(0, gSetup.program.rfind(u'\\') + 1);
  gSetup.work = WithBackslash(ArgumentText(argv[2]));
  gSetup.shots = TextToUtf8(ArgumentText(argv[3]));
  std::string only = argc > 4 ? TextToUtf8(ArgumentText(argv[4])) : "";

  int passed = 0, failed = 0;
  for (const Check& check : kChecks) {
    if (!only.empty() && std::string(check.name).find(only) == std::string::npos) continue;
    KillStrays();
    DWORD start = GetTickCount();
    bool ok = check.run();
    std::printf("%s %s (%.1f s)\n", ok ? "PASS" : "FAIL", check.name, (GetTickCount() - start) / 1000.0);
    PrintDetails();
    (ok ? passed : failed)++;
  }
  KillStrays();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
