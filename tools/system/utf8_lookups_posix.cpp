#include <locale.h>

#include "tools/system/utf8_lookups.h"

Utf8Lookups::Utf8Lookups(bool wanted) {
    if (!wanted) return;
    // Only LC_CTYPE: the codeset the plug-in converts to and decodes the release number in.
    for (const char* name : {"C.UTF-8", "C.utf8"}) {
        locale_ = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
        if (locale_ != nullptr) break;
    }
    active_ = locale_ != nullptr;
    if (!active_) shortfall_ = "this system has no C.UTF-8 locale";
}

Utf8Lookups::~Utf8Lookups() {
    if (locale_ != nullptr) freelocale(static_cast<locale_t>(locale_));
}

Utf8Lookups::Scope::Scope(const Utf8Lookups* lookups) {
    if (lookups != nullptr && lookups->locale_ != nullptr) {
        previous_ = uselocale(static_cast<locale_t>(lookups->locale_));
    }
}

Utf8Lookups::Scope::~Scope() {
    if (previous_ != nullptr) uselocale(static_cast<locale_t>(previous_));
}
