#include "tools/cli/errors.h"

#include <iostream>

ExitCode ExitCodeOf(FailureKind kind) {
    switch (kind) {
        case FailureKind::kCannotRead: return kExitCannotStart;
        case FailureKind::kWrongUsage: return kExitWrongUsage;
        case FailureKind::kPluginUnusable: return kExitPluginUnusable;
        case FailureKind::kRefused: return kExitChangeRefused;
    }
    return kExitUnexpected;
}

void Say(std::string_view message) { std::cerr << "qbt: " << message << '\n'; }

void Warn(std::string_view message) { std::cerr << "qbt: warning: " << message << '\n'; }
