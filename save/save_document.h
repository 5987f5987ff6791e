// Writing the host's current drawing as a "HALD 2002" file.
#pragma once

#include "kttrv/kttrv.h"  // api_kt_save_trv, exported
