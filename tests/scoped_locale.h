// Runs a test under a given C locale on the calling thread only, the way a host thread would
// have set it. The plug-in itself never sets a locale.
#pragma once

#include <clocale>
#include <locale.h>

#include <string>

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

// The test suite generates these with localedef before it runs (see tests/CMakeLists.txt).
inline constexpr const char* kShiftJisLocale = "ja_JP.SJIS";
inline constexpr const char* kUtf8Locale = "ja_JP.UTF-8";
