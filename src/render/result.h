#pragma once

// The one shape of every operation that can fail: a value, or a message saying why not
// that is fit to show to the person drawing. `Result<>` carries no value, only success.
//
//     Result<QByteArray> read(path);
//     if (!r) alert(r.error()); else use(*r);
//
// A failure is made from its message with `Failure{"..."}`, so that a function returning
// Result<QString> cannot mistake a message for its value.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

struct Failure {
    QString message;
};

struct Ok {};

template <typename T = Ok>
class [[nodiscard]] Result {
public:
    Result(T value) : _state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : _state(std::in_place_index<1>, std::move(failure.message)) {}
    template <typename U = T, typename = std::enable_if_t<std::is_same_v<U, Ok>>>
    Result() : _state(std::in_place_index<0>, Ok{}) {}

    bool ok() const { return _state.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only when ok().
    T& value() & { return std::get<0>(_state); }
    const T& value() const& { return std::get<0>(_state); }
    T&& value() && { return std::get<0>(std::move(_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // The message; empty when ok().
    QString error() const { return ok() ? QString() : std::get<1>(_state); }

    // The value, or nothing when it failed: for callers that report the message elsewhere.
    std::optional<T> take() && { return ok() ? std::optional<T>(std::move(value())) : std::nullopt; }

private:
    std::variant<T, QString> _state;
};
