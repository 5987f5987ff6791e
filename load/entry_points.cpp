// The exported entry points: each is load_drawing or save_drawing with the
// module's own state (the diagnostic sink, the system-variable list, the
// current drawing, what earlier loads of a drawing did not keep), which
// lives here and nowhere below.
#include <string>

#include "entities/entity_stream.h"
#include "format/entry_lock.h"
#include "format/file_window.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/torv_header.h"
#include "kttrv/kttrv.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "save/save_file.h"

namespace {

DiagnosticOutput g_sink;
struct Carrying {
  KtTrvObserverFor observer = nullptr;
  KtTrvCarriedFor carried = nullptr;
  void* context = nullptr;
} g_carrying;
bool g_keep_for_exported_save = true;

bool is_empty(const KT_Drawing& d) {
  return d.layers.first == nullptr && d.text_styles.first == nullptr && d.dim_styles.first == nullptr &&
         d.line_types.first == nullptr && d.blocks.first == nullptr && d.model_space.first == nullptr;
}

// With the module's list as it stands (not read again), under the entry lock.
bool load_with_module_list(const kttrv::LoadSource& source, kttrv::LoadOptions options, KT_Drawing& drawing) {
  const auto lock = lock_entry_points();
  const std::shared_ptr<const SysVarList> list = current_sysvar_list();  // held for the call
  options.sysvar_list = list.get();
  options.collect_diagnostics = false;
  return kttrv::load_drawing_locked(source, drawing, options, g_sink.sink, g_sink.sink_context, &g_trv_ver).loaded;
}

}  // namespace

DiagnosticOutput installed_diagnostic_sink() { return g_sink; }

void KtTrvSetDiagnosticSink(KtTrvDiagnosticSink sink, void* context) {
  const auto lock = lock_entry_points();
  g_sink = {nullptr, sink, context};
}

void KtTrvSetSysVarListPath(const char* path) {
  const auto lock = lock_entry_points();
  set_sysvar_list_path(path);
}

void set_losses_kept_for_exported_save(bool on) {
  const auto lock = lock_entry_points();
  g_keep_for_exported_save = on;
}

bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing) {
  kttrv::LoadOptions options;
  options.mode = mode;
  return load_with_module_list(kttrv::LoadSource::bytes({data, size}), options, drawing);
}

bool load_torv_file(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes) {
  kttrv::LoadOptions options;
  options.mode = mode;
  options.window_bytes = window_bytes;
  return load_with_module_list(kttrv::LoadSource::file(path), options, drawing);
}

void KtTrvSetCarrying(KtTrvObserverFor observer, KtTrvCarriedFor carried, void* context) {
  const auto lock = lock_entry_points();
  g_carrying = {observer, carried, context};
}

bool LoadTORVDocument(int mode, CString& path, KT_Drawing*& drawing) {
  const auto lock = lock_entry_points();
  if (drawing == nullptr) return false;
  kttrv::LoadOptions options;
  options.mode = mode;
  options.window_bytes = FileWindow::kDefaultBytes;
  options.collect_diagnostics = false;
  // What the readers drop is noted while someone can hear of it: a later
  // api_kt_save_trv of this drawing tells the sink. Otherwise the load runs
  // as it always did.
  options.note_losses = g_keep_for_exported_save && g_sink.enabled();
  if (g_carrying.observer != nullptr) options.observer = g_carrying.observer(*drawing, g_carrying.context);
  // An empty drawing has no past: what a drawing once at its address lost is
  // not its own.
  if (is_empty(*drawing)) forget_drawing_losses(drawing);
  // g_trv_ver is set the moment the header names a version, before the
  // readers behind it run.
  const kttrv::LoadResult result = kttrv::load_drawing_locked(kttrv::LoadSource::file(path.GetString()), *drawing,
                                                              options, g_sink.sink, g_sink.sink_context, &g_trv_ver);
  if (!result.losses.empty()) remember_drawing_losses(drawing, result.losses);
  return result.loaded;
}

int LoadTORVEntities(tagFile* file, char /*mode_flag*/, int block_index, unsigned long record_count,
                     int /*base_blocks*/, int /*base_layers*/, int /*base_text_styles*/,
                     int /*base_line_types*/) {
  const auto lock = lock_entry_points();
  // A stream of its own: the host's stream knows nothing of a load, so the
  // call reports to the installed sink with the generation of the last load.
  LoadContext context;
  context.diagnostics = g_sink;
  context.generation = g_trv_ver;
  // Whatever the host's stream holds in that field, the call uses its own.
  const LoadContext* const before = file->context;
  file->context = &context;
  read_entity_stream(file, block_index, record_count, g_current_drawing);
  file->context = before;
  return 1;
}

bool api_kt_save_trv(char* path) {
  const auto lock = lock_entry_points();
  const KT_Drawing* drawing = g_current_drawing;
  if (drawing == nullptr || path == nullptr) return false;
  // What the loads into this drawing dropped is said with what the writer
  // cannot store; the save goes on, as it always did.
  const LossLedger dropped = drawing_losses(drawing);
  SaveOptions options;
  options.file_losses = &dropped;
  if (g_carrying.carried != nullptr) options.carried = g_carrying.carried(*drawing, g_carrying.context);
  const kttrv::SaveResult result = kttrv::save_drawing(*drawing, path, options);
  if (result.saved && !result.lossless() && g_sink.sink != nullptr)
    g_sink.sink(("save: " + std::string(path) + ": not kept: " + result.loss_summary()).c_str(), g_sink.sink_context);
  return result.saved;
}
