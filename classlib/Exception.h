// Exceptions of the class library: Exception carries a message; EAbort is the silent cancel that
// the application discards without a word.
#pragma once

#include <exception>
#include <string>

namespace classlib {

class Exception : public std::exception {
 public:
  explicit Exception(std::string Message) : message_(std::move(Message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// Raises the silent cancel.
[[noreturn]] inline void Abort() {
  throw EAbort();
}

}  // namespace classlib
