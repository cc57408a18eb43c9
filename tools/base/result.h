// What went wrong, as a value: the one shape of failure below cli/. Code there returns a Result,
// and cli/ alone decides what a Failure means for the run (the exit code, the words on standard
// error).
//
//   Result<std::string> text = ReadWholeFile(path, "the game list");
//   if (!text.Ok()) return text.Why();   // handed up unchanged
//   Use(*text);
//
// A room whose callers must tell one failure from another carries its own error value in place
// of Failure (the disk's DiskError: a name taken, a rename the file system cannot refuse), and
// a step that gives nothing back when it succeeds returns Result<Done>.
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

// The value of a step that succeeded and has nothing to give back.
struct Done {};

// A value or the error that kept it from being made. C++20 has no std::expected.
template <typename T, typename Error = Failure>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool Ok() const { return state_.index() == 0; }

    // Only when Ok().
    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }

    // Only when !Ok().
    const Error& Why() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};
