#include "tools/trv/loaded_file.h"

#include <filesystem>
#include <system_error>

#include "entities/kind_table.h"
#include "load/load_document.h"

namespace trv {

std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses) {
  auto f = std::make_unique<LoadedFile>();
  f->path = path;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  f->size = ec ? 0 : static_cast<std::size_t>(size);
  // Any failure to read the head shows again as the load's failure.
  if (auto head = read_file_head(path, 88)) f->version = file_version(*head);

  g_trv_ver = -1;
  set_load_stats(&f->stats);
  set_loss_ledger(note_losses ? &f->losses : nullptr);
  f->loaded = load_drawing(path, -1, *f->drawing, /*quiet_error=*/true);
  set_loss_ledger(nullptr);
  set_load_stats(nullptr);
  f->generation = f->version.legacy ? -1 : g_trv_ver;
  if (f->loaded) f->damage = load_damage();
  else f->failure = load_failure_reason(path);
  return f;
}

const char* record_kind_name(int kind) { return entity_kind_name(kind); }

}  // namespace trv
