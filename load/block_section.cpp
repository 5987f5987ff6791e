#include "load/block_section.h"

int read_block_section(tagFile* /*f*/, int32_t /*position*/, char /*mode_flag*/,
                       const BaseCounts& /*base*/, KT_Drawing& /*drawing*/) {
  return 1;
}
