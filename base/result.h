#pragma once
// A value, or the reason there is none. Readers, loaders and writers return
// one so that the caller can say why a file failed without probing it again.
// The failure code is what callers map to the message they show; the text is
// for logs, tests and the command-line tool.

#include <optional>
#include <string>
#include <utility>

namespace tavlin {

enum class Failure {
    None,
    CannotRead,      // missing, unreadable, or not a regular file
    NotRecognised,   // no format claims the name, or the content is another kind
    Damaged,         // malformed or cut off
    TooLarge,        // beyond what the program accepts
    Unsupported,     // a coding the program cannot convert
    CannotWrite,     // the file could not be written; the old one is untouched
    KeyMismatch,     // wrong key, damaged data, or not enciphered at all
    LengthMismatch,  // a stored length is negative or beyond the data
};

// The code and the text of a failure, passed on unchanged between layers.
struct Reason {
    Failure code = Failure::None;
    std::string text;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Reason reason) : reason_(std::move(reason)) {}
    Result(Failure code, std::string text) : reason_{code, std::move(text)} {}

    static Result success(T value) { return Result(std::move(value)); }
    static Result failure(Failure code, std::string text) { return Result(code, std::move(text)); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    // Moves the value out (for pointer-returning wrappers).
    T take() { return std::move(*value_); }
    Failure failure() const { return reason_.code; }
    const std::string& reason() const { return reason_.text; }
    const Reason& why() const { return reason_; }

private:
    std::optional<T> value_;
    Reason reason_;
};

// Success, or the reason of the failure.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Reason reason) : reason_(std::move(reason)), ok_(false) {}
    Result(Failure code, std::string text) : reason_{code, std::move(text)}, ok_(false) {}

    static Result success() { return Result(); }
    static Result failure(Failure code, std::string text) { return Result(code, std::move(text)); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    Failure failure() const { return reason_.code; }
    const std::string& reason() const { return reason_.text; }
    const Reason& why() const { return reason_; }

private:
    Reason reason_;
    bool ok_ = true;
};

using Status = Result<void>;

}  // namespace tavlin
