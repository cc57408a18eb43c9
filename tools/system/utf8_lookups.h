// The locale in which qbt asks the plug-in about a list that it takes for UTF-8. The plug-in
// converts such a list's values to the codeset of the calling thread's locale (Linux) or to the
// process's ANSI code page (Windows), so in a locale of the terminal's they would lose every
// character the terminal lacks, and in the C locale of a service every one outside ASCII. It
// also reads a release number's first character in that locale (Linux) or in the C runtime's
// (Windows), which must match the bytes it hands over.
//
//   const Utf8Lookups utf8(PluginTakesForUtf8(list));  // once, before the askers start
//   // in each thread that asks the plug-in:
//   const Utf8Lookups::Scope scope(&utf8);
//   utf8.Active()  // the answers are UTF-8; otherwise in the terminal's codeset
//
// Linux: a thread locale (newlocale and uselocale) whose LC_CTYPE is C.UTF-8, which glibc has
// even where no locale is installed. Windows: qbt.exe's manifest makes UTF-8 the ANSI code page
// (Windows 10 version 1903 and later, Wine 8); the C runtime cannot decode UTF-8 (msvcrt's
// setlocale refuses it), so while the plug-in's answers are UTF-8 its LC_CTYPE is "C", which
// reads each byte as itself and so every character outside ASCII as a letter, as most are.
#pragma once

#include <string>

class Utf8Lookups {
public:
    explicit Utf8Lookups(bool wanted);
    ~Utf8Lookups();
    Utf8Lookups(const Utf8Lookups&) = delete;
    Utf8Lookups& operator=(const Utf8Lookups&) = delete;

    bool Active() const { return active_; }

    // Empty when active or not wanted; otherwise why the answers come in the terminal's codeset.
    const std::string& Shortfall() const { return shortfall_; }

    // While it lives, the calling thread asks in the UTF-8 locale of `lookups`, if any (Linux;
    // on Windows the setting is the process's and this does nothing).
    class Scope {
    public:
        explicit Scope(const Utf8Lookups* lookups);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        void* previous_ = nullptr;
    };

private:
    bool active_ = false;
    std::string shortfall_;
    void* locale_ = nullptr;    // Linux: the locale_t the scopes use
    std::string restoreCtype_;  // Windows: the C runtime's LC_CTYPE to put back
};
