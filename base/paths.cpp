#include "base/paths.h"

#include "base/filesys.h"

Text WithTrailingBackslash(TextView path) {
  Text out(path);
  if (out.empty() || out.back() != kPathSeparator) out.push_back(kPathSeparator);
  return out;
}

PathParts SplitPath(TextView path) {
  PathParts parts;
  if (path.size() > 260) return parts;
  size_t cut = TextView::npos;
  for (size_t i = path.size(); i-- > 0;) {
    if (IsPathSeparator(path[i])) {
      cut = i;
      break;
    }
  }
  if (cut == TextView::npos) {
    parts.name = Text(path);
  } else {
    parts.folder = Text(path.substr(0, cut + 1));
    parts.name = Text(path.substr(cut + 1));
  }
  return parts;
}

Text FoldersBelowRoot(TextView path, size_t rootUnits) {
  if (rootUnits == 0 || rootUnits >= path.size()) return Text();
  TextView below = path.substr(rootUnits);
  while (!below.empty() && IsPathSeparator(below.front())) below.remove_prefix(1);
  size_t cut = TextView::npos;
  for (size_t i = below.size(); i-- > 0;) {
    if (IsPathSeparator(below[i])) {
      cut = i;
      break;
    }
  }
  return cut == TextView::npos ? Text() : Text(below.substr(0, cut + 1));
}

Text ProgramFolder() {
  return SplitPath(FsProgramPath()).folder;
}

Text ProgramBaseName() {
  Text name = SplitPath(FsProgramPath()).name;
  size_t dot = name.rfind(u'.');
  // Winelib programs are named prog.exe.so: drop every extension after the first.
  if (name.size() > 3 && name.compare(name.size() - 3, 3, u".so") == 0) name.resize(name.size() - 3);
  dot = name.rfind(u'.');
  return dot == Text::npos ? name : name.substr(0, dot);
}
