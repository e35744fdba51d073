#include "shell/autorun.h"

#include "shell/registry_port.h"

namespace {

Text FailureMessage(int32_t result) {
  switch (result) {
    case kAutorunNoKey: return u"Не удается создать ключ регистрации в реестре Автозагрузки";
    case kAutorunNotWritten:
      return u"Не удается применить - Возможно у Вас нет привилегий Администратора для установки этой опции";
    default: return u"Не удается применить - слишком длинный путь к программе";
  }
}

}  // namespace

Text AutorunCommandLine(TextView exePath) {
  Text command(1, u'"');
  return (command += exePath) += u"\" /auto";
}

int32_t AddAutorun(TextView name, TextView exePath) {
  Text command = AutorunCommandLine(exePath);
  if (command.size() >= kAutorunUnits) return kAutorunTooLong;
  if (RegistryCreateKey(RegistryRoot::CurrentUser, kRunKey) == KeyCreation::Failed) return kAutorunNoKey;
  if (!RegistrySetText(RegistryRoot::CurrentUser, kRunKey, name, PaddedUnits(command, kAutorunUnits)))
    return kAutorunNotWritten;
  return kAutorunAdded;
}

bool RemoveAutorun(TextView name) {
  return RegistryDeleteValue(RegistryRoot::CurrentUser, kRunKey, name);
}

// A failed registration leaves the box and the setting off, so neither claims a start
// with Windows that was never registered; a value that could not be removed leaves them on.
AutoStartOutcome SwitchAutoStart(bool on, TextView exePath) {
  if (!on) return {RemoveAutorun(kAutorunValueName) ? 0 : 1, Text()};
  int32_t result = AddAutorun(kAutorunValueName, exePath);
  if (result == kAutorunAdded) return {1, Text()};
  return {0, FailureMessage(result)};
}
