#include "legacy/legacy_loader.h"

int load_legacy_buffer(int /*mode*/, const unsigned char* /*data*/, std::size_t /*size*/,
                       KT_Drawing& /*drawing*/) {
  return 0;
}
