// trv new / trv save: write a drawing as a "HALD 2002" file.
#include <cerrno>
#include <cstring>

#include "load/load_document.h"
#include "save/save_document.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {

// Writes the drawing (made current for the call) to out.
int write_current(KT_Drawing& drawing, std::string out) {
  g_current_drawing = &drawing;
  errno = 0;
  const bool written = api_kt_save_trv(out.data());
  const int cause = errno;
  g_current_drawing = nullptr;
  if (!written) {
    error(out + ": cannot write the drawing" + (cause != 0 ? std::string(" (") + std::strerror(cause) + ")" : ""));
    return 1;
  }
  return 0;
}

}  // namespace

int run_new(const std::string& out) {
  KT_Drawing drawing;
  return write_current(drawing, out);
}

int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list) {
  if (!set_sysvar_list(sysvar_list)) return 1;
  KT_Drawing drawing;
  if (!load_drawing(in, mode, drawing)) return 1;
  return write_current(drawing, out);
}

}  // namespace trv
