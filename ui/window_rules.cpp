#include "ui/window_rules.h"

int32_t SystemMenuPosition(int32_t itemCount, int32_t position) {
  if (position == 0) return itemCount;
  if (position < 0) return itemCount + position;
  return position;
}

uint32_t TrayTimeout(uint32_t value) {
  return (value & 0xFFFF) == 0 ? 10000 : (value & 0xFFFF);
}

uint32_t TrayRetryWaitMs(uint32_t tickCount) {
  return tickCount < 30000 ? 500 : 100;
}

int32_t TabIndexFromActiveTab(int32_t activeTab) {
  return activeTab >= 1 && activeTab <= 4 ? activeTab - 1 : 0;
}

Text AddedFilesText(int32_t added) {
  return u"Количество:" + NumberWithBlank(added);
}
