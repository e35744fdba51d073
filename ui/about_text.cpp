#include "ui/about_text.h"

Text AboutText(TextView notice, TextView version) {
  const Text br = u"\r\n";
  Text t;
  t += u"TESSALY V1.0" u" - 08.12.2021" + br + br;
  t += u"Программа предназначена для пакетного преобразование изображений." + br;
  t += u" \u2022 Конвертация изображений из одного формата в другой." + br;
  t += u" \u2022 Изменение размеров изображений." + br;
  // The preposition is a Latin "c", exactly as the text has always read.
  t += u" \u2022 Интеграция c контекстным меню проводника Windows." + br;
  t += u" \u2022 Добавлять файлы и папки, из меню проводника и командной строки, даже если программа уже запущена." + br;
  t += u" \u2022 Позволяет удобно устанавливать и сохранять профили настроек." + br + br;
  t += u"Форматы файлов допустимые для данной версии программы." + br;
  t += u" \u2022 Формат входных файлов: JPEG, JPG, PNG, GIF, BMP, WEBP, TIF, PCX, PSD, HEIC, HEIF, AVIF, JXL" + br;
  t += u" \u2022 Формат выходных файлов: JPG, PNG, WEBP, AVIF, JXL" + br;
  t += u" \u2022 Обработанные выходные файлы оптимизированы для публикации в сети интернет." + br + br;
  t += Text(notice) + br;
  t += u"FreeImage Library Version: " + Text(version);
  return t;
}
