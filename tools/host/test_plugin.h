// For tests: the plug-in's exports as linked into the test program, found as a host finds them
// in the library.
#pragma once

#include "tools/host/plugin.h"

inline constexpr Plugin kLinkedPlugin{GetPluginVersion, GetPluginAuthor, GetPluginInfo,
                                      GetMaker,         GetTitle,        GetSaveInfo,
                                      GetMediaInfo,     GetCountry,      GetImgNum};
