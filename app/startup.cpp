#include "app/startup.h"

#include "base/utils.h"
#include "settings/defaults.h"

ConfigResult LoadStartupSettings(TextView configPath) {
  ConfigResult result = LoadConfig(configPath, nullptr);
  if (gAppSettings.LaunchCount == 0) ApplyDefaultSettings(&gAppSettings, GetSpecialFolder(kCsidlMyPictures));
  return result;
}

ConfigResult SaveShutdownSettings(TextView configPath, ProfileList* profiles) {
  gAppSettings.LaunchCount = NextCount(gAppSettings.LaunchCount);
  return SaveConfig(configPath, profiles);
}

Text SettingsNotSavedText(TextView configPath) {
  return u"Не удалось сохранить настройки в файл\r\n" + Text(configPath) +
         u"\r\nПапка программы должна быть доступна для записи.";
}
