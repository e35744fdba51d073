#include "ui/menu_rules.h"

#include "base/filesys.h"

Text MenuFileName(TextView path) {
  size_t cut = 0;
  for (size_t i = 0; i < path.size(); ++i)
    if (path[i] == u'\\' || path[i] == u':' || IsPathSeparator(path[i])) cut = i + 1;
  return Cut(path.substr(cut), 127);
}

std::vector<MenuRow> FileListMenuRows(TextView selectedPath, int32_t count, int32_t clearListOnAdd,
                                      bool failuresListed) {
  std::vector<MenuRow> rows = {
      {kCmdAddPath, u"Добавить папку или файл"},
      {kCmdToggleClear, u"Очищать список, если не нажата клавиша (Ctrl)", clearListOnAdd == 8},
  };
  if (failuresListed) rows.push_back({kCmdOpenFailureList, u"Открыть список файлов с ошибками"});
  if (!selectedPath.empty()) {
    Text name = MenuFileName(selectedPath);
    rows.push_back({0, u""});
    rows.push_back({kCmdOpenFile, u"Открыть файл: " + name});
    rows.push_back({kCmdShowInFolder, u"Открыть папку с файлом: " + name});
    rows.push_back({kCmdProperties, u"Свойства файла: " + name});
    rows.push_back({0, u""});
    rows.push_back({kCmdDeleteEntry, u"Удалить выделенный пункт: " + name});
  }
  if (count > 0) {
    rows.push_back({kCmdClearList, u"Очистить список"});
    rows.push_back({0, u""});
    rows.push_back({kCmdCancel, u"Отмена"});
  }
  return rows;
}

std::vector<MenuRow> TrayMenuRows(bool windowVisible) {
  return {
      windowVisible ? MenuRow{kTrayHide, u"Скрыть окно"} : MenuRow{kTrayShow, u"Показать окно"},
      {kTraySite, u"Открыть сайт"},
      {0, u""},
      {kTrayCancel, u"Отмена"},
      {kTrayExit, u"Остановить и выйти"},
  };
}

int32_t CaretAfterDelete(int32_t caret, int32_t newCount) {
  return caret < newCount - 1 ? caret : newCount - 1;
}

uint32_t BalloonInfoFlags(TextView icon, uint32_t previous) {
  if (icon.empty()) return 0x10;
  if (icon.size() == 1) return 0x10 | (icon[0] >= u'0' && icon[0] <= u'9' ? static_cast<uint32_t>(icon[0] - u'0') : 0);
  return previous;
}
