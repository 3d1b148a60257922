#include "errors.h"

#include "cp1251.h"
#include "os_errors.h"

namespace qv {

EInOutError::EInOutError(int code) : Exception(ioErrorMessage(code)), code_(code) {}

EInOutError::EInOutError(int code, const std::string& target, const std::string& keptCopy)
    : Exception(withFullStop(ioErrorMessage(code)) + " " +
                cp1251::fromUtf8("Файл «" + target +
                                 "» мог повредиться: вернуть ему прежнее содержимое не удалось. "
                                 "Оно сохранено в файле «" +
                                 keptCopy + "»; скопируйте этот файл на место повреждённого")),
      code_(code) {}

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
