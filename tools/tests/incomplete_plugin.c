/* Looks like the plug-in from the outside but exports only its version: qbt must refuse it. */
#include <stdint.h>

__attribute__((visibility("default"))) int32_t GetPluginVersion(void) { return 101; }
