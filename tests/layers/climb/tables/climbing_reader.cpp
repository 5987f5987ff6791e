// A reader that reaches up to the driver: the layer check must refuse it.
#include "load/load_document.h"
