// Why a section stopped early, and where. Silent unless our host installs a
// sink (trv -v prints them); the load itself never depends on it.
#pragma once

#include <cstdint>

using KtTrvDiagnosticSink = void (*)(const char* message, void* context);

void set_diagnostic_sink(KtTrvDiagnosticSink sink, void* context);
bool diagnostics_enabled();

// "<section>: <what> at byte <offset>"; formatted only when a sink listens.
void report_diagnostic(const char* section, int64_t offset, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
