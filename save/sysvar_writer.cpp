#include "save/sysvar_writer.h"

#include "save/sysvar_forms.h"
#include "save/write_primitives.h"

namespace {

// The section opens with this real (E3 C7 98 C3 22 B2 42 41).
constexpr double kLeadingReal = 2450501.5281;

// The only values that are not zero or empty.
int16_t word_value(int entry) {
  switch (entry) {
    case 3:
    case 4:
    case 5: return 1;
    case 11: return 256;
    default: return 0;
  }
}

const char* string_value(int entry) {
  switch (entry) {
    case 12: return "Bylayer";
    case 16: return "QSAVE";
    default: return "";
  }
}

}  // namespace

void write_sysvar_section(TorvWriter& w) {
  write_real(w, kLeadingReal);
  for (int entry = 0; kSysVarForms[entry] != '\0'; ++entry) {
    switch (kSysVarForms[entry]) {
      case 'W': write_int16(w, word_value(entry)); break;
      case 'L': write_int32(w, 0); break;
      case 'D': write_real(w, 0.0); break;
      case 'P': write_pt2(w, 0.0, 0.0); break;
      case 'T': write_pt3(w, 0.0, 0.0, 0.0); break;
      case 'S': write_cstring(w, string_value(entry)); break;
      default: break;
    }
  }
}
