// Why a section stopped early, and where. Silent unless our host installs a
// sink (trv -v prints them); the load itself never depends on it.
#pragma once

// MinGW's "printf" checks the system runtime's formats (no %zu); the build
// uses the C99 one there.
#if defined(__MINGW32__)
#define KTTRV_PRINTF_FORMAT gnu_printf
#else
#define KTTRV_PRINTF_FORMAT printf
#endif

#include <cstdint>

using KtTrvDiagnosticSink = void (*)(const char* message, void* context);

void set_diagnostic_sink(KtTrvDiagnosticSink sink, void* context);
bool diagnostics_enabled();

// "<section>: <what> at byte <offset>"; formatted only when a sink listens.
void report_diagnostic(const char* section, int64_t offset, const char* format, ...)
    __attribute__((format(KTTRV_PRINTF_FORMAT, 3, 4)));

// A whole line, as it stands (what a save could not keep, say).
void report_diagnostic_line(const char* line);
