#include "app/handover.h"

#include <cstring>

Text CommandLineTail(TextView line) {
  size_t i = 0;
  if (!line.empty() && line[0] == u'"') {
    size_t close = line.find(u'"', 1);
    i = close == TextView::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t') ++i;
  }
  while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
  return Text(line.substr(i));
}

void SetHandoverText(HandoverRecord* record, TextView tail) {
  SetField(record->CommandText, tail);
}

Text HandoverText(const HandoverRecord& record) {
  return Text(FieldView(record.CommandText));
}

bool WantsHiddenStart(TextView tail) {
  return tail.find(u"/auto") != TextView::npos;
}

Text SystemErrorLine(uint32_t code, TextView systemText) {
  return NumberText(code) + u" " + Text(systemText);
}
