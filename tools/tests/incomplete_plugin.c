/* Looks like the plug-in from the outside but exports only its version: qbt must refuse it. */
#include <stdint.h>

#ifdef _WIN32
#define EXPORTED __declspec(dllexport)
#else
#define EXPORTED __attribute__((visibility("default")))
#endif

EXPORTED int32_t GetPluginVersion(void) { return 101; }
