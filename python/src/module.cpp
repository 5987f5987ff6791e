// kttrv._kttrv: the extension module the package kttrv is made of.
#include "document.h"

#include "host/zirida_host.h"
#include "tools/trv/cli_support.h"
#include "kttrv/kttrv.h"

PYBIND11_MODULE(_kttrv, m) {
  m.doc() = "The C++ library of kttrv (use the package kttrv).";
  // A refused file is a ReadError: the kernel's message box has nobody to show it to.
  afx_set_message_sink([](const char*, void*) {}, nullptr);
  // info() and check() give damage as values, not as trv's warning lines.
  trv::set_verbosity(trv::Verbosity::quiet);
  ktpy::bind_entities(m);
  ktpy::bind_document(m);
  m.def(
      "_set_sysvar_list",
      [](const std::string& path) { KtTrvSetSysVarListPath(path.c_str()); },
      "The system-variable list the loads use (the installed package's own copy).");
}
