// The command line of tessaly-batch: which settings file, which overrides, which paths.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/app_settings.h"
#include "settings/profile_list.h"

enum class OnErrorPolicy { Default, Continue, Stop, Ask };

constexpr int32_t kMaxBatchJobs = 64;

struct BatchOptions {
  Text configPath;  // empty: Config.dat beside the program
  bool showSettings = false;
  bool save = false;
  bool help = false;
  bool listProfiles = false;
  Text profile;     // caption of the profile to activate before the overrides; empty: none
  Text addProfile;  // caption of a new profile made after the overrides; empty: none
  OnErrorPolicy onError = OnErrorPolicy::Default;
  // Each file in a worker process of its own (the default), or in this process: faster
  // by a process start per file, for files that are trusted.
  bool isolate = true;
  // Files converted at once; 0: every logical processor.
  int32_t jobs = 0;
  // JPEGs decoded smaller where the resize allows (engine/pipeline/shrink_on_load.h).
  bool shrinkOnLoad = true;
  // Say for every file what a run would do, and write nothing.
  bool dryRun = false;
  // Settings overrides in the order given, each checked when parsed.
  std::vector<std::pair<std::string, std::string>> overrides;
  std::vector<Text> paths;
};

// False with a one-line reason for a wrong flag or value.
bool ParseBatchArgs(const std::vector<std::string>& args, BatchOptions* out, std::string* reason);

// Applies the overrides to the record, after it was loaded and defaulted.
void ApplyOverrides(const BatchOptions& options, AppSettings* settings);

// The profile options on the loaded profiles, in their order: --profile activates (false
// with the reason and the captions there are when none has that caption), the overrides
// apply, --add-profile stores the result as a new profile.
bool ApplyProfileOptions(const BatchOptions& options, ProfileList* profiles, AppSettings* settings,
                         std::string* reason);

// One line per profile: its Id, "*" for the active one, its caption.
std::string ProfileListing(const ProfileList& profiles, const AppSettings& settings);

// One "Name=value" line per field in record order, then the signature with text.
std::string SettingsListing(const AppSettings& settings);

// The --help text, from the table of flags and the format records.
std::string BatchUsage();
