/* The boundary header must stay usable from C hosts. */
#include "plugin/exports.h"

typedef int32_t(QBT_CALL* TextExportFromC)(const char*, const char*, int32_t, char**, int32_t);

const TextExportFromC qbtTitleExportFromC = GetTitle;
