#include "tools/os/errors.h"

#include <iostream>

void Say(std::string_view message) { std::cerr << "qbt: " << message << '\n'; }

void Warn(std::string_view message) { std::cerr << "qbt: warning: " << message << '\n'; }
