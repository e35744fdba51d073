// The question a failed file or run asks, with its reason lines.
#include "engine/run/convert_errors.h"

#include "base/utils.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/pipeline/pipeline.h"

namespace {

constexpr uint32_t kQuestionTimeoutMs = 6000;
constexpr int32_t kQuestionKind = 6;  // Yes/No with the question icon

struct Reason {
  int32_t code;
  const char16_t* text;
  const char16_t* codeText;
};
const Reason kReasons[] = {
    {kErrorEmptyList, u"Список файлов пуст", u" - Error1"},
    {kErrorNoOutputFolder, u"Не указана выходная директория", u" - Error: 2"},
    {kErrorEmptyInputName, u"Пустое имя входного файла", u" - Error: 3"},
    {kErrorReadToBuffer, u"Ошибка чтения файла в буфер", u" - Error: 4"},
    {kErrorNotReadable, u"Формат не поддерживается", u" - Error: 7"},
    {kErrorUnknownFormat, u"Формат не поддерживается", u" - Error: 8"},
    {kErrorBufferUnreadable, u"Ошибка чтения файла из буфера", u" - Error: 9"},
    {kErrorWriteFile, u"Ошибка записи файла", u" - Error: 10"},
    {kErrorCannotEncode, u"Формат не поддерживается для записи", u" - Error: 11"},
    {kErrorUnknownTarget, u"Неизвестный выходной формат", u" - Error: 12"},
    {kErrorTruncated, u"Файл повреждён: данные обрываются", u" - Error: 13"},
    {kErrorOutputIsSource, u"Результат заменил бы исходный файл", u" - Error: 14"},
    {kErrorOutputTaken, u"Результат с этим именем уже записан в этом запуске", u" - Error: 15"},
    {kErrorWorkerCrashed, u"Сбой библиотеки изображений при обработке файла", u" - Error: 16"},
    {kErrorTimeLimit, u"Файл обрабатывается слишком долго", u" - Error: 17"},
    {kErrorTooLarge, u"Изображение слишком велико", u" - Error: 18"},
    {kErrorDamaged, u"Файл повреждён", u" - Error: 19"},
    {kErrorHdr, u"Изображение HDR: без тональной компрессии не преобразуется", u" - Error: 20"},
    {kErrorFolderUnreadable, u"Папка не читается", u" - Error: 21"},
    {kErrorOutputTooLong, u"Путь результата длиннее 260 символов", u" - Error: 22"},
};

}  // namespace

Text ConvertErrorReason(int32_t code) {
  for (const Reason& row : kReasons)
    if (row.code == code) return Text(row.text) + row.codeText;
  return Text();
}

Text ConvertErrorText(int32_t code, TextView fileName, TextView detail) {
  Text particulars = detail.empty() ? Text() : DisplayText(detail) + u"\r\n";
  return DisplayText(fileName) + u"\r\n" + ConvertErrorReason(code) + u"\r\n" + particulars + u"Продолжить выполнение ?";
}

int32_t ReportConvertError(int32_t code, TextView fileName, TextView detail) {
  return TimedMessageBox(ConvertErrorText(code, fileName, detail), u"Ошибка выполнения преобразования", 0,
                         kQuestionKind, kQuestionTimeoutMs);
}
