// Why a section stopped early, and where. A load hands its readers where its
// diagnostics go (format/load_context.h): a list of typed entries, a sink
// that receives each one's text, both or neither. Nothing is formatted
// while neither listens; the load itself never depends on them.
#pragma once

// MinGW's "printf" checks the system runtime's formats (no %zu); the build
// uses the C99 one there.
#if defined(__MINGW32__)
#define KTTRV_PRINTF_FORMAT gnu_printf
#else
#define KTTRV_PRINTF_FORMAT printf
#endif

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

using KtTrvDiagnosticSink = void (*)(const char* message, void* context);

namespace kttrv {

// A note says which value replaced one that could not be used, or that a
// section the file does not have was looked for; the load went on. Damage
// ended a section or the load.
enum class Severity : uint8_t { note, damage };

struct Diagnostic {
  Severity severity = Severity::damage;
  std::string section;  // "layers", "entities", "header", ...
  int64_t offset = 0;   // the byte the report is about
  // What is wrong: the text between "<section>: " and " at byte <offset>".
  std::string reason;
  // When a read failed, the part it failed in ("record 3 of 9 (kind 2)");
  // the reason starts with it. Empty otherwise.
  std::string subject;
  int block = -1;    // the block index whose definition it lies in; -1 outside blocks
  std::string text;  // "<section>: <reason> at byte <offset>", as a sink receives it
};

}  // namespace kttrv

namespace kttrv {
using DiagnosticCallback = void (*)(const Diagnostic& diagnostic, void* context);
}  // namespace kttrv

struct DiagnosticOutput {
  std::vector<kttrv::Diagnostic>* list = nullptr;
  KtTrvDiagnosticSink sink = nullptr;  // each entry's text
  void* sink_context = nullptr;
  kttrv::DiagnosticCallback each = nullptr;  // each entry, as it is made
  void* each_context = nullptr;

  bool enabled() const { return list != nullptr || sink != nullptr || each != nullptr; }
};

struct DiagnosticPlace {
  const char* section;
  int64_t offset;
  int block = -1;
  kttrv::Severity severity = kttrv::Severity::damage;
};

// Formats "<what>" from format and args and hands the entry on. A report at
// byte -1 is about a section the file does not have (its slot is -1): a note.
void report_diagnostic_v(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* subject,
                         const char* format, va_list args);
void report_diagnostic(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* format, ...)
    __attribute__((format(KTTRV_PRINTF_FORMAT, 3, 4)));
// The same for a read that failed in `subject`.
void report_diagnostic_about(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* subject,
                             const char* format, ...) __attribute__((format(KTTRV_PRINTF_FORMAT, 4, 5)));
