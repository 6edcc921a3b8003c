#include "ui/resources/strings.h"

#include <algorithm>
#include <iterator>

namespace ui {
namespace {

struct StringEntry {
  int id;
  const char* english;
  const char* russian;
};

// The texts stand exactly as the product ships them, misspellings included.
constexpr StringEntry kStrings[] = {
    {100, "velixcom", "velixcom"},
    {101, "Error", "Ошибка"},
    {102, "No private keys on your Token. Please create a key.",
     "На Token нет ни одного закрытого ключа. Создайте ключ."},
    {103, "Invalid passphrase", "Кодовая фраза не верна"},
    {104, "Insert Token", "Вставьте Token"},
    {105, "Local file", "Диск"},
    {106, "Keys management - %s", "Управление ключами - %s"},
    {107, "Private key (secret.key)#secret.key#Key (*.key)#*.key#All files (*.*)#*.*#",
     "Закрытый ключ (secret.key)#secret.key#Ключ (*.key)#*.key#Все файлы (*.*)#*.*#"},
    {108, "Choose key file", "Выбор файла ключа"},
    {109, "Enter key name", "Укажите имя ключа"},
    {110, "Enter passphrase for Token.", "Необходимо ввести пароль для Token."},
    {111, "Incorrect input data", "Неверные входные данные"},
    {112, "Key loading error", "Ошибка загрузки ключа"},
    {113, "Insufficient memory", "Нехватка памяти"},
    {114,
     "SESSION: %-20.20s\r\nPACKET NUMBER: %+6.6s\r\nCOMMAND NUMBER: %+6.6s\r\nUSER NAME: %-20.20s\r\n",
     "СЕССИЯ: %-20.20s\r\nНОМЕР ПАКЕТА: %+6.6s\r\nЧИСЛО КОМАНД: %+6.6s\r\nПОЛЬЗОВАТЕЛЬ: %-20.20s\r\n"},
    {115, "CUSTOMER: %-20.20s\r\n", "ПОКУПАТЕЛЬ: %-20.20s\r\n"},
    {116, "Signing error", "Ошибка формирования подписи"},
    {117, "Library already in use", "Библиотека уже используется"},
    {118, "VERSION: 02\r\nSTATEMENT REQUEST\r\nUSER NAME: %-20.20s FROM %s TO %s",
     "ВЕРСИЯ: 02\r\nЗАПРОС НА ВЫПИСКУ\r\nКЛИЕНТ: %-20.20s ОТ %s ДО %s"},
    {119, "Signing error", "Ошибка формирования подписи"},
    {120, "Executing verify operation...", "Выполняется процедура декодирования"},
    {121, "Verify error", "Ошибка декодирования"},
    {122, "Can not load bank open key", "Невозможно загрузить открытый ключ банка"},
    {123, "Never", "Никогда"},
    {124, "%d min.", "%d мин."},
    {125, "Always", "Всегда"},
    {126, "Error reading file", "Ошибка чтения файла"},
    {127, "Argument error", "Ошибка в аргументах"},
    {128, "Memory allocation error", "Ошибка выделения памяти"},
    {129, "Unknown document format or key anchor to another computer",
     "Неверный формат документа или ключ привязан к другому компьютеру"},
    {130, "No data found in document", "Документ прочитан не до конца"},
    {131, "Invalid packet format", "Ошибка во внутренней структуре документа"},
    {132, "Unknown alg", "Неизвестный алгоритм шифрования"},
    {133, "Invalid keylen", "Длина ключа не соответствует длине подписи"},
    {134, "Doctype error", "Неверный тип документа"},
    {135, "Error ASCII encoding in document", "Ошибка ASCII кодирования документа"},
    {136, "Error ASCII decoding in dcument", "Ошибка ASCII декодирования документа"},
    {137, "Invalid crypto engine", "Неизвестный тип криптосредства"},
    {138, "Crypto engine not ready", "Криптосредство не готово"},
    {139, "Call not supported", "Вызов не поддерживается криптосредством"},
    {140, "File not found", "Файл не найден"},
    {141, "Invalid key", "Ключ не может быть использован"},
    {142, "Error creating subscription", "Ошибка формирования подписи"},
    {143, "Public key not found", "Открытый ключ с таким серийным номером отсутствует"},
    {144, "Error verify", "Подпись не соответствует содержимому документа"},
    {145, "Error creating fle", "Ошибка создания файла"},
    {146, "Error write to file", "Ошибка записи в файл"},
    {147, "Bad format keycard", "Неверный формат карточки ключа"},
    {148, "Error generating key", "Ошибка генерации ключей"},
    {149, "Error encripting", "Ошибка шифрования"},
    {150, "Error decripting", "Ошибка дешифрации"},
    {151, "Uncnown sender", "Отправитель неопределен"},
    {152, "Secret key: %s", "Закрытый ключ: %s"},
    {153, "Key management", "Управление ключами"},
    {154, "Directory '", "В каталоге '"},
    {155, "' already has keys!\nDelete and create new keys?",
     "' уже существуют ключи!\nУдалить и создать новые?"},
    {156, "Warning", "Внимание"},
    {157, "Inposible to create new keys!", "Невозможно создать новые ключи!"},
    {158, "\nProbably this key`s card \n has been modified (corrupted).",
     "\nВероятно указанная карточка ключа\nбыла модифицирована (испорчена)."},
    {159, "Inposiblie to write secret key in file secret.key!",
     "Невозможно записать секретный ключ в файл secret.key!"},
    {160, "Inposible to write open key in file public.iks!",
     "Невозможно записать открытый ключ в файл public.iks!"},
    {161, "Inposible to write opne key in file pubkeys.key!",
     "Невозможно записать открытый ключ в файл pubkeys.key!"},
    {162, "Inposible to write open key in buffer public.iks!",
     "Невозможно записать открытый ключ в буфер public.iks!"},
    {163, "Key size can be 512, 1024 or 2048 bits", "Размерность ключа должна быть 512, 1024 или 2048"},
    {164, "Enter key serial number", "Укажите серийный номер ключа"},
    {165, "The key name is too long: at most %s bytes can be stored.",
     "Имя ключа слишком длинное: можно сохранить не более %s байт."},
    {166, "The key file path is too long: at most %s bytes can be stored.",
     "Путь к файлу ключа слишком длинный: можно сохранить не более %s байт."},
    {167, "The settings were not saved: %s", "Настройки не сохранены: %s"},
    {168, "The text holds a character that the ANSI code page cannot represent",
     "Текст содержит символ, который нельзя представить в кодовой странице ANSI"},
    {169, "The PIN is locked", "PIN-код заблокирован"},
    {170, "Last PIN try: a wrong PIN locks the token", "Последняя попытка: неверный PIN заблокирует токен"},
    {171, "Few PIN tries left", "Осталось мало попыток ввода PIN-кода"},
    {172, "Enter the PIN on the reader", "Введите PIN-код на считывателе"},
    {173, "Insert the token or choose a key file", "Вставьте токен или выберите файл ключа"},
    {174, "File: %s\nSize: %s bytes", "Файл: %s\nРазмер: %s байт"},
    {175, "%s asks to sign texts with your key", "%s запрашивает подпись текстов вашим ключом"},
    {176, "A header text (the session) holds a line break or a control character: nothing is signed",
     "Текст заголовка (сессия) содержит перевод строки или управляющий символ: ничего не подписано"},
    {190, "Click the keys with the mouse: what is typed on the keyboard is not taken here. The site's settings or "
          "\"velix settings set VK 0\" switch this on-screen keyboard off.",
     "Нажимайте клавиши мышью: ввод с клавиатуры здесь не принимается. Экранная клавиатура отключается "
     "в настройках сайта или командой \"velix settings set VK 0\"."},
    {191, "PIN tries left: %s", "Осталось попыток ввода PIN-кода: %s"},
    {192, "Select a private key in the list.", "Выберите закрытый ключ в списке."},
};

// Ids are kept in ascending order, each once, so that a lookup can halve the table.
constexpr bool IdsAscend() {
  for (size_t i = 1; i < sizeof kStrings / sizeof kStrings[0]; ++i) {
    if (kStrings[i].id <= kStrings[i - 1].id) return false;
  }
  return kStrings[0].id == kFirstStringId;
}
static_assert(IdsAscend());

}  // namespace

const char* ResourceStringUtf8(int id, uint16_t language) {
  const auto* end = std::end(kStrings);
  const auto* entry =
      std::lower_bound(std::begin(kStrings), end, id, [](const StringEntry& e, int wanted) { return e.id < wanted; });
  if (entry == end || entry->id != id) return nullptr;
  return language == kLangEnglish ? entry->english : entry->russian;
}

}  // namespace ui
