#include "load/load_document.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "entities/entity_stream.h"
#include "kernel/collections.h"
#include "legacy/legacy_loader.h"
#include "load/block_section.h"
#include "load/sysvar_list.h"
#include "load/table_readers.h"
#include "load/torv_header.h"

int g_trv_ver = -1;

void KtTrvSetDiagnosticSink(KtTrvDiagnosticSink sink, void* context) {
  set_diagnostic_sink(sink, context);
}

void KtTrvSetSysVarListPath(const char* path) { set_sysvar_list_path(path); }

namespace {

// The file's size, -1 when it cannot be taken. Taken in 64 bits: with a
// 32-bit long (Windows) ftell wraps for files beyond 2 GiB, and such a file
// would pass for a small one.
int64_t file_size(std::FILE* fp) {
#if defined(_WIN32)
  if (_fseeki64(fp, 0, SEEK_END) != 0) return -1;
  return _ftelli64(fp);
#else
  if (fseeko(fp, 0, SEEK_END) != 0) return -1;
  return ftello(fp);
#endif
}

// The kernel creates into the current drawing; the load's drawing is made
// current for the duration of the call.
class CurrentDrawing {
 public:
  explicit CurrentDrawing(KT_Drawing& d) : saved_(g_current_drawing) { g_current_drawing = &d; }
  ~CurrentDrawing() { g_current_drawing = saved_; }
  CurrentDrawing(const CurrentDrawing&) = delete;
  CurrentDrawing& operator=(const CurrentDrawing&) = delete;

 private:
  KT_Drawing* saved_;
};

bool load_current_generation(int mode, tagFile& f, KT_Drawing& drawing) {
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    report_diagnostic("header", 0, "file of %d bytes is shorter than the 88-byte header", f.length);
    return false;
  }
  const int generation = torv_generation(header.version);
  if (generation < 0) {
    report_diagnostic("header", 2, "unknown version string");
    return false;
  }
  g_trv_ver = generation;
  if (generation == 2) {
    report_diagnostic("header", 2, "version \"SELK 24.05.95\" is refused");
    AfxMessageBox(kRefusedVersionMessage, MB_OK, 0);
    return false;
  }

  if (mode == -1) read_sysvar_section(&f, header_slot(header, kSlotSysVars));

  const BaseCounts base = take_base_counts(drawing);
  read_layer_table(&f, header_slot(header, kSlotLayers));
  read_text_style_table(&f, header_slot(header, kSlotTextStyles));
  read_dim_style_table(&f, header_slot(header, kSlotDimStyles));

  const char mode_flag = mode == -1 ? 0 : 1;
  const int32_t blocks = header_slot(header, kSlotBlocks);
  if (blocks != -1) read_block_section(&f, blocks, mode_flag, base, drawing);

  const int32_t entities = header_slot(header, kSlotEntities);
  if (entities != -1) {
    file_seek(&f, entities, 0);
    uint32_t count = 0;
    if (file_read(&count, 4, 1, &f) == 1) {
      LoadTORVEntities(&f, mode_flag, -1, count, base.blocks, base.layers, base.text_styles,
                       base.line_types);
    } else {
      report_diagnostic("entities", entities, "record count lies outside the file");
    }
  }
  return true;
}

}  // namespace

bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing) {
  if (size == 0) {
    report_diagnostic("file", 0, "the file is empty");
    return false;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    report_diagnostic("file", 0, "the file is too large for 32-bit positions");
    return false;
  }
  CurrentDrawing current(drawing);
  if (data[0] == 'T') return load_legacy_buffer(mode, data, size, drawing) != 0;
  tagFile f{data, static_cast<int32_t>(size), 0};
  return load_current_generation(mode, f, drawing);
}

bool LoadTORVDocument(int mode, CString& path, KT_Drawing*& drawing) {
  if (drawing == nullptr) return false;
  read_sysvar_list(sysvar_list_path());

  std::FILE* fp = std::fopen(path.GetString(), "rb");
  if (fp == nullptr) {
    report_diagnostic("file", 0, "cannot open the file");
    return false;
  }
  struct Closer {
    void operator()(std::FILE* p) const { std::fclose(p); }
  };
  std::unique_ptr<std::FILE, Closer> file(fp);

  const int64_t size = file_size(fp);
  if (size < 0 || std::fseek(fp, 0, SEEK_SET) != 0) {
    report_diagnostic("file", 0, "cannot take the file's size");
    return false;
  }
  if (size > std::numeric_limits<int32_t>::max()) {
    report_diagnostic("file", 0, "the file is too large for 32-bit positions");
    return false;
  }
  // One block of size + 1 bytes, released before the call returns.
  const auto n = static_cast<std::size_t>(size);
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[n + 1]);
  if (!buffer) {
    report_diagnostic("file", 0, "cannot allocate %zu bytes for the file", n + 1);
    return false;
  }
  if (n != 0 && std::fread(buffer.get(), 1, n, fp) != n) {
    report_diagnostic("file", 0, "cannot read the whole file");
    return false;
  }
  buffer[n] = 0;
  file.reset();
  return load_torv_buffer(mode, buffer.get(), n, *drawing);
}
