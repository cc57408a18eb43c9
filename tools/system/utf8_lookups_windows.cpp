#include <windows.h>

#include <clocale>

#include "tools/system/utf8_lookups.h"

Utf8Lookups::Utf8Lookups(bool wanted) {
    if (!wanted) return;
    active_ = GetACP() == CP_UTF8;
    if (!active_) {
        shortfall_ = "this Windows runs qbt.exe in code page " + std::to_string(GetACP()) +
                     ", not in UTF-8 as its manifest asks (Windows 10 version 1903 and later do)";
        return;
    }
    if (const char* current = std::setlocale(LC_CTYPE, nullptr)) restoreCtype_ = current;
    std::setlocale(LC_CTYPE, "C");
}

Utf8Lookups::~Utf8Lookups() {
    if (!restoreCtype_.empty()) std::setlocale(LC_CTYPE, restoreCtype_.c_str());
}

Utf8Lookups::Scope::Scope(const Utf8Lookups*) {}

Utf8Lookups::Scope::~Scope() = default;
