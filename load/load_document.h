// Loading a TORV file into a host drawing.
#pragma once

#include <cstddef>

#include "kernel/afx.h"
#include "kernel/zirida.h"
#include "format/diagnostics.h"
#include "format/torv_header.h"
#include "format/export.h"

// Reads the file at path into drawing. mode -1 also walks the system
// variables. True when a supported file was read to the end of the load
// sequence (sections that stop early included) or a legacy file loaded.
KTTRV_EXPORT bool LoadTORVDocument(int mode, CString& path, KT_Drawing*& drawing);

// Our host's own settings: where diagnostics go, where the list file lives.
KTTRV_EXPORT void KtTrvSetDiagnosticSink(KtTrvDiagnosticSink sink, void* context);
KTTRV_EXPORT void KtTrvSetSysVarListPath(const char* path);

// The load from a file already in memory (size bytes at data), after the
// system-variable list was read. LoadTORVDocument ends here.
bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);
