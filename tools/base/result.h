// What went wrong, as a value: code below cli/ returns it and cli/ alone decides what it means
// for the run (the exit code, the words on standard error).
//
//   Result<std::string> text = ReadWholeFile(path, "the game list");
//   if (!text.Ok()) return text.Why();   // handed up unchanged
//   Use(*text);
#pragma once

#include <string>
#include <utility>
#include <variant>

// What kind of trouble, by what it means to the user rather than by where it arose.
enum class FailureKind {
    kCannotRead,      // a file the run starts from cannot be read, or is not what it must be
    kWrongUsage,      // the command line asks for something that cannot be done
    kPluginUnusable,  // the plug-in cannot be loaded or lacks an export
    kRefused,         // the system refused a change: a rename, or the journal that precedes it
};

struct Failure {
    FailureKind kind;
    std::string message;  // complete, in the terminal's codeset, without "qbt:"
};

// A value or the Failure that kept it from being made. C++20 has no std::expected.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool Ok() const { return state_.index() == 0; }

    // Only when Ok().
    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }

    // Only when !Ok().
    const Failure& Why() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};
