// Runs a test under a given C locale, the way a host would have set it. The plug-in itself never
// sets a locale.
#pragma once

#include <locale.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#if defined(_WIN32)

// The Windows runtime's locale belongs to the whole process, as the host's setlocale leaves it;
// the test programs run their tests on one thread.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    bool Active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

inline constexpr const char* kShiftJisLocale = ".932";

#else

// POSIX hosts set a locale per thread with uselocale; so does this.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
        if (locale_ != nullptr) previous_ = uselocale(locale_);
    }
    ~ScopedLocale() {
        if (locale_ == nullptr) return;
        uselocale(previous_);
        freelocale(locale_);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    bool Active() const { return locale_ != nullptr; }

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
};

// Sets an environment variable for the rest of the scope (nullptr unsets it), as a user's shell
// would. Tests run on one thread, so setenv is safe here.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* previous = std::getenv(name)) previous_ = previous;
        Set(value);
    }
    ~ScopedEnvironmentVariable() { Set(previous_ ? previous_->c_str() : nullptr); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    void Set(const char* value) {
        if (value != nullptr) {
            setenv(name_.c_str(), value, 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

    std::string name_;
    std::optional<std::string> previous_;
};

// The test suite generates these with localedef before it runs (see tests/CMakeLists.txt).
inline constexpr const char* kShiftJisLocale = "ja_JP.SJIS";
inline constexpr const char* kUtf8Locale = "ja_JP.UTF-8";

#endif

// Declares `scope`, which runs the rest of the block in locale `name`; stops the test when the
// machine lacks that locale.
#define USE_LOCALE(scope, name) \
    ScopedLocale scope(name);   \
    ASSERT_TRUE(scope.Active()) << (name) << " missing; the test setup generates it"
