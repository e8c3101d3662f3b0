#pragma once
// A value, or the reason there is none. Callers map the failure code to the
// message they show; the text is for logs, tests and the command-line tool.

#include <optional>
#include <string>
#include <utility>

namespace tavlin {

enum class CipherFailure {
    None,
    CannotRead,      // the file is missing, unreadable or not a regular file
    KeyMismatch,     // wrong key, damaged data, or not enciphered at all
    LengthMismatch,  // the stored length is negative or beyond the data
};

template <typename T>
class CipherResult {
public:
    static CipherResult success(T value) {
        CipherResult r;
        r.value_.emplace(std::move(value));
        return r;
    }
    static CipherResult failure(CipherFailure code, std::string reason) {
        CipherResult r;
        r.code_ = code;
        r.reason_ = std::move(reason);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    CipherFailure failure() const { return code_; }
    const std::string& reason() const { return reason_; }

private:
    CipherResult() = default;
    std::optional<T> value_;
    CipherFailure code_ = CipherFailure::None;
    std::string reason_;
};

}  // namespace tavlin
