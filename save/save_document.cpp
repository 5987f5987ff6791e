#include "save/save_document.h"

bool api_kt_save_trv(char* /*path*/) { return false; }
