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
  // The fault log's files; the list of failed files of the last run lives beside them.
  std::vector<Text> logs;
  for (const Text& name : FolderFiles(folder))
    if (name.rfind(u"LOGFILE_", 0) == 0) logs.push_back(name);
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
    {"each_target_writes_its_format", EachTargetWritesItsFormat},
    {"failed_file_asks_and_no_ends_the_run", FailedFileAsksAndNoEndsTheRun},
    {"hostile_files_fail_alone_in_the_window", HostileFilesFailAloneInTheWindow},
    {"stop_ends_after_the_files_in_flight", StopEndsAfterTheFilesInFlight},
    {"auto_start_stays_in_the_tray", AutoStartStaysInTheTray},
    {"close_during_a_run_loses_nothing", CloseDuringARunLosesNothing},
    {"close_writes_config_with_launch_count_and_tab", CloseWritesConfigWithLaunchCountAndTab},
    {"unwritable_settings_say_so_at_close", UnwritableSettingsSaySoAtClose},
    {"session_end_saves_the_settings", SessionEndSavesTheSettings},
    {"delete_key_and_clearing_follow_the_counts", DeleteKeyAndClearingFollowTheCounts},
    {"parameters_page_shows_each_panel", ParametersPageShowsEachPanel},
    {"size_and_format_boxes_take_their_value_when_left", SizeAndFormatBoxesTakeTheirValueWhenLeft},
    {"profiles_are_added_activated_overwritten_and_deleted", ProfilesAreAddedActivatedOverwrittenAndDeleted},
    {"profiles_of_tessaly_batch_open_in_the_window", ProfilesOfTessalyBatchOpenInTheWindow},
    {"ten_thousand_files_handed_over_are_listed_quickly", TenThousandFilesHandedOverAreListedQuickly},
    {"hand_over_during_a_run_converts_every_file_once", HandOverDuringARunConvertsEveryFileOnce},
    {"failed_files_stay_visible_after_the_run", FailedFilesStayVisibleAfterTheRun},
    {"right_click_acts_on_the_row_under_the_mouse", RightClickActsOnTheRowUnderTheMouse},
    {"hand_over_and_drop_of_several_paths_keep_every_path", HandOverAndDropOfSeveralPathsKeepEveryPath},
    {"failures_are_shown_where_the_user_looks", FailuresAreShownWhereTheUserLooks},
    {"empty_list_shows_a_hint", EmptyListShowsAHint},
    {"profile_filter_and_keyboard_slider_show_at_once", ProfileFilterAndKeyboardSliderShowAtOnce},
    {"transparent_png_becomes_white_in_jpg", TransparentPngBecomesWhiteInJpg},
    {"twenty_photos_on_several_workers_as_tessaly_batch_writes", TwentyPhotosOnSeveralWorkersAsTessalyBatchWrites},
    {"large_photos_timed_from_start_to_end", LargePhotosTimedFromStartToEnd},
    {"new_formats_convert_in_the_window", NewFormatsConvertInTheWindow},
    {"cmyk_pictures_come_out_right", CmykPicturesComeOutRight},
    {"avif_and_jxl_panels_set_their_words", AvifAndJxlPanelsSetTheirWords},
    {"avif_profile_of_tessaly_batch_survives_a_restart", AvifProfileOfTessalyBatchSurvivesARestart},
    {"context_menu_boxes_write_and_remove_their_keys", ContextMenuBoxesWriteAndRemoveTheirKeys},
    {"context_menu_boxes_start_ticked_from_the_registry", ContextMenuBoxesStartTickedFromTheRegistry},
    {"verb_command_hands_the_path_over", VerbCommandHandsThePathOver},
    {"start_with_windows_writes_the_run_value", StartWithWindowsWritesTheRunValue},
    {"failed_start_with_windows_leaves_the_box_off", FailedStartWithWindowsLeavesTheBoxOff},
    {"preset_and_subfolder_boxes_never_stay_empty", PresetAndSubfolderBoxesNeverStayEmpty},
    {"output_mode_radios_choose_where_a_run_writes", OutputModeRadiosChooseWhereARunWrites},
    {"browse_stores_the_chosen_folder", BrowseStoresTheChosenFolder},
    {"option_boxes_show_and_set_their_settings", OptionBoxesShowAndSetTheirSettings},
    {"colour_options_are_saved_and_follow_profiles", ColourOptionsAreSavedAndFollowProfiles},
    {"dropped_tree_is_mirrored_dated_and_done_across_restarts", DroppedTreeIsMirroredDatedAndDoneAcrossRestarts},
    {"counter_writes_beside_a_foreign_file", CounterWritesBesideAForeignFile},
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
