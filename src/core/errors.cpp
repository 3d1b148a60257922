#include "errors.h"

#include "cp1251.h"
#include "io_cause.h"
#include "io_codes.h"

namespace qv {

namespace {

// The program's own sentence after the message of a code that stands for
// several causes, naming the one it was; empty when it is not known.
std::string causeSentence(int code) {
    switch (causeOfCode(code)) {
        case IoCause::NoSpace:
            return "На диске не осталось места.";
        case IoCause::Quota:
            return "Исчерпана дисковая квота пользователя.";
        case IoCause::FileTooLarge:
            return "Файл превысил наибольший размер, который допускает система или файловая "
                   "система.";
        case IoCause::DeviceFault:
            return "Устройство сообщило об ошибке ввода-вывода: диск, флеш-накопитель или "
                   "сетевая папка неисправны или отключены.";
        case IoCause::OtherFileSystem:
            return "Файл находится на другой файловой системе, чем его папка, и не может быть "
                   "заменён новым.";
        case IoCause::Unknown:
            break;
    }
    return {};
}

std::string withCause(int code, std::string message) {
    const std::string cause = causeSentence(code);
    if (cause.empty()) return message;
    return withFullStop(std::move(message)) + " " + cp1251::fromUtf8(cause);
}

}  // namespace

EInOutError::EInOutError(int code)
    : Exception(withCause(code, ioErrorMessage(code))), code_(code) {}

EInOutError::EInOutError(int code, const std::string& target, const std::string& keptCopy)
    : Exception(withFullStop(withCause(code, ioErrorMessage(code))) + " " +
                cp1251::fromUtf8("Файл «" + target +
                                 "» мог повредиться: вернуть ему прежнее содержимое не удалось. "
                                 "Оно сохранено в файле «" +
                                 keptCopy + "»; скопируйте этот файл на место повреждённого")),
      code_(code) {}

EInOutError::EInOutError(int code, std::string message)
    : Exception(std::move(message)), code_(code) {}

std::string ioErrorMessage(int code) {
    switch (code) {
        case 2:
            return "File not found";
        case 3:
            return "Invalid filename";
        case 4:
            return "Too many open files";
        case 5:
            return "File access denied";
        case 100:
            return "Read beyond end of file";
        case 101:
            return "Disk full";
        case 106:
            return "Invalid numeric input";
        case io::kNoSafeCopy:
            return cp1251::fromUtf8(
                "Файл нельзя перезаписать, не сохранив сначала копию его прежнего содержимого, "
                "а сохранить её не удалось. Файл оставлен без изменений");
        default:
            return "I/O error " + std::to_string(code);
    }
}

void ioCheck(int code) {
    if (code != 0) throw EInOutError(code);
}

std::string withFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

}  // namespace qv
