// The program's failure classes. Every failure that reaches the user is an
// Exception (or derived from it) carrying the message shown in the error box.
#pragma once

#include <exception>
#include <string>

namespace qv {

class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// A text that is not a whole number.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// A failed text-file operation; carries the operation's result code.
class EInOutError : public Exception {
  public:
    explicit EInOutError(int code);
    // A failed save that could not give `target` its previous content back:
    // the message says at once where that content is kept.
    EInOutError(int code, const std::string& target, const std::string& keptCopy);
    // A failure whose message the part that met it composes.
    EInOutError(int code, std::string message);
    int errorCode() const noexcept { return code_; }

  private:
    int code_;
};

// A silent failure: abandons the command and shows nothing.
class EAbort : public Exception {
  public:
    EAbort() : Exception("Operation aborted") {}
};

// The message shown for an I/O result code ("File not found", "I/O error 32", ...),
// as io_codes.h names them; a save refused for want of a note of its temporary
// file is told by the save itself, which knows where the note was to go.
std::string ioErrorMessage(int code);

// Raises EInOutError when an operation's result code is not 0.
void ioCheck(int code);

// The text the error box shows: a "." is appended when the last byte of a
// non-empty message sorts after "." in byte order.
std::string withFullStop(std::string message);

}  // namespace qv
