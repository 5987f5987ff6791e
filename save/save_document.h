// Writing the host's current drawing as a "HALD 2002" file.
#pragma once

#include "format/export.h"

// True when the whole file was written and closed; false when there is no
// current drawing (nothing is written), the file cannot be opened, or a
// write fails.
KTTRV_EXPORT bool api_kt_save_trv(char* path);
