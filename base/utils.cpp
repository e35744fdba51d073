#include "base/utils.h"

#include <cstdio>

#include "base/filesys.h"

uint32_t MessageBoxStyle(int32_t kind) {
  static const uint32_t kStyles[] = {0x40000, 0x40040, 0x40030, 0x40020, 0x40010, 0x40044, 0x40024, 0x40034};
  return kind >= 0 && kind <= 7 ? kStyles[kind] : 0x40000;
}

bool MessageBoxHasYesNo(int32_t kind) {
  return kind >= 5 && kind <= 7;
}

Text FormatByteSize64(uint64_t x) {
  constexpr uint64_t K = 1024, M = K * K, G = M * K;
  const char* unit = nullptr;
  uint64_t div = 1;
  if (x > G) unit = "G", div = G;
  else if (x > M) unit = "M", div = M;
  else if (x > 1023) unit = "K", div = K;
  char buf[48];
  if (unit) std::snprintf(buf, sizeof buf, "%.2f %s", static_cast<double>(x) / static_cast<double>(div), unit);
  else std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(x));
  return TextFromUtf8(buf);
}

int32_t IsDirectory(TextView path) {
  return FsIsDirectory(path) ? 16 : 0;
}
