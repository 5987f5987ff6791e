// KtTrv: the plug-in that reads and writes TORV drawing files (.trv).
//
// A host includes this header, implements (or links) the drawing kernel
// declared in kernel/zirida.h, and links libKtTrv. See docs/API.md.
#pragma once

#include "kernel/afx.h"
#include "kernel/zirida.h"

#ifndef KTTRV_EXPORT
#if defined(_WIN32)
#define KTTRV_EXPORT  // the DLL's exports are listed in KtTrv.def
#else
#define KTTRV_EXPORT __attribute__((visibility("default")))
#endif
#endif

// The reader's position in a file; only the plug-in looks inside.
struct tagFile;

// Receives one diagnostic line: why a section stopped early, and where.
using KtTrvDiagnosticSink = void (*)(const char* message, void* context);

// The generation of the most recently recognised file; -1 before the first.
KTTRV_EXPORT extern int g_trv_ver;

// Reads the file at path into drawing. mode -1 also walks the system
// variables. True when a supported file was read to the end of the load
// sequence (sections that stop early included) or a legacy file loaded.
KTTRV_EXPORT bool LoadTORVDocument(int mode, CString& path, KT_Drawing*& drawing);

// Reads record_count entity records from the file's position and creates
// their drawables. block_index is -1 for the model space. Always returns 1.
KTTRV_EXPORT int LoadTORVEntities(tagFile* file, char mode_flag, int block_index,
                                  unsigned long record_count, int base_blocks, int base_layers,
                                  int base_text_styles, int base_line_types);

// Writes the current drawing (g_current_drawing) as a "HALD 2002" file. True
// when the whole file was written and closed; false when there is no current
// drawing (nothing is written), the file cannot be opened, or a write fails.
KTTRV_EXPORT bool api_kt_save_trv(char* path);

// What the host keeps of a file beside the kernel's drawing: `observer`
// gives, for the drawing LoadTORVDocument loads, who hears of every stored
// record (kttrv/format/load_observer.h); `carried` gives, for the drawing
// api_kt_save_trv saves, what was kept of its file (kttrv/kernel/kt_carried.h),
// which the save writes back. Either may be null (nothing reported, nothing
// written back); the kernel calls are the same either way.
namespace kttrv {
class LoadObserver;
}
class KT_Carried;
using KtTrvObserverFor = kttrv::LoadObserver* (*)(KT_Drawing& drawing, void* context);
using KtTrvCarriedFor = const KT_Carried* (*)(const KT_Drawing& drawing, void* context);
KTTRV_EXPORT void KtTrvSetCarrying(KtTrvObserverFor observer, KtTrvCarriedFor carried, void* context);

// Where diagnostics go (null: nowhere); the load never depends on them.
KTTRV_EXPORT void KtTrvSetDiagnosticSink(KtTrvDiagnosticSink sink, void* context);
// The system-variable list file to use instead of the installed one
// (null or "": back to the installed one).
KTTRV_EXPORT void KtTrvSetSysVarListPath(const char* path);
