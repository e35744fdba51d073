// The end-to-end checks. Each starts what it needs, leaves no program running, reports
// what went wrong through Fail and returns whether it passed.
#pragma once

// The instance operations called directly.
bool InstanceMutexRule();
bool SharedBlockOperations();
bool SystemErrorTextNamesTheCode();

// The driver plays the running instance; later instances of the program hand over to it.
bool SecondStartHandsOverItsArguments();
bool SecondStartWithoutArgumentsStillHandsOver();
bool LongTailArrivesCutTo2047Units();
bool SimultaneousSendersLoseNothing();
bool StartWithoutReceiverShowsRefusal();

// The program's own main window.
bool MainWindowAppears();
bool EachTabScreenshot();
bool ArgumentsListExactlyTheAcceptedFiles();
bool SecondStartAddsFilesWithoutDuplicates();
bool StartConvertsTheListedFiles();
bool EachTargetWritesItsFormat();
bool FailedFileAsksAndNoEndsTheRun();
bool HostileFilesFailAloneInTheWindow();
bool StopEndsAfterTheFilesInFlight();
bool AutoStartStaysInTheTray();
bool CloseDuringARunLosesNothing();
bool CloseWritesConfigWithLaunchCountAndTab();
bool UnwritableSettingsSaySoAtClose();
bool SessionEndSavesTheSettings();
bool DeleteKeyAndClearingFollowTheCounts();

// The conversion-parameters page.
bool ParametersPageShowsEachPanel();
bool SizeAndFormatBoxesTakeTheirValueWhenLeft();
bool ProfilesAreAddedActivatedOverwrittenAndDeleted();
bool ProfilesOfTessalyBatchOpenInTheWindow();

// The window under real use.
bool TenThousandFilesHandedOverAreListedQuickly();
bool HandOverDuringARunConvertsEveryFileOnce();
bool FailedFilesStayVisibleAfterTheRun();
bool RightClickActsOnTheRowUnderTheMouse();
bool TransparentPngBecomesWhiteInJpg();

// Several files at once.
bool TwentyPhotosOnSeveralWorkersAsTessalyBatchWrites();
bool LargePhotosTimedFromStartToEnd();

// The additional-settings page and the desktop integration.
bool ContextMenuBoxesWriteAndRemoveTheirKeys();
bool ContextMenuBoxesStartTickedFromTheRegistry();
bool VerbCommandHandsThePathOver();
bool StartWithWindowsWritesTheRunValue();
bool FailedStartWithWindowsLeavesTheBoxOff();
bool PresetAndSubfolderBoxesNeverStayEmpty();
bool OutputModeRadiosChooseWhereARunWrites();
bool BrowseStoresTheChosenFolder();
bool OptionBoxesShowAndSetTheirSettings();
bool ColourOptionsAreSavedAndFollowProfiles();

// HEIF, AVIF and JPEG XL.
bool NewFormatsConvertInTheWindow();
bool CmykPicturesComeOutRight();
bool AvifAndJxlPanelsSetTheirWords();
bool AvifProfileOfTessalyBatchSurvivesARestart();

// Folder trees.
bool DroppedTreeIsMirroredDatedAndDoneAcrossRestarts();
bool CounterWritesBesideAForeignFile();

// A new user's first minutes.
bool HandOverAndDropOfSeveralPathsKeepEveryPath();
bool FailuresAreShownWhereTheUserLooks();
bool EmptyListShowsAHint();
bool ProfileFilterAndKeyboardSliderShowAtOnce();
