#include "view/render.h"

#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "view/cairo_canvas.h"
#include "view/covered_tiles.h"
#include "view/extents.h"
#include "view/layer_index.h"
#include "view/painter.h"
#include "view/pdf_canvas.h"
#include "view/picture_sink.h"
#include "view/png_rows.h"
#include "view/svg_canvas.h"
#include "view/walk.h"

namespace kttrv::view {

namespace {

// The bands drawn at once hold at most this much between them.
constexpr std::size_t kBandBytes = 32u << 20;
constexpr int kMaxThreads = 4;

struct Picture {
  const KT_Drawing& drawing;
  const RenderOptions& options;
  LayerIndex layers;
  WalkOptions walk;
  View view;
  // Drawn from the top down: where the walk that draws stops, and whether it is whole.
  std::vector<std::size_t> stopped_at;
  bool whole = true;
};

// A canvas that draws nothing: the walk that only decides where the
// drawing stops.
class NoCanvas final : public Canvas {
 public:
  void line_style(double, LineCap) override {}
  void colour(const Rgb&) override {}
  void move_to(double, double) override {}
  void line_to(double, double) override {}
  void close_path() override {}
  void circle(double, double, double) override {}
  void stroke() override {}
  void fill() override {}
  void text(const std::string&, const TextMatrix&, bool) override {}
};

// The walk that draws: the picture's budget, what the painter charges,
// the inserts it stands in.
WalkOptions drawing_walk(const Picture& picture, long long& charged, std::vector<const KT_Insert_Entity*>& inserts) {
  WalkOptions walk = picture.walk;
  walk.budget = picture.options.work_budget > 0 ? picture.options.work_budget : kBaseWork;
  walk.charged = &charged;
  walk.inserts = &inserts;
  return walk;
}

// One walk over the model space onto the canvas, for the band's rows;
// false when the walk was cut short.
bool paint(const Picture& picture, Canvas& canvas, Band band) {
  long long charged = 0;
  std::vector<const KT_Insert_Entity*> inserts;
  const WalkOptions walk = drawing_walk(picture, charged, inserts);
  Painter painter(canvas, picture.view, band, picture.options, picture.layers, &inserts, &charged);
  const bool whole =
      walk_model_space(picture.drawing, walk, [&](const KT_Drawable& d, const Placement& p) { painter.draw(d, p); });
  painter.finish();
  return whole;
}

// Where the walk that draws the picture stops (its units of work are
// charged the same in every band, drawn or not: a band of no rows draws
// nothing and charges them all).
void find_where_drawing_stops(Picture& picture) {
  long long charged = 0;
  std::vector<const KT_Insert_Entity*> inserts;
  WalkOptions walk = drawing_walk(picture, charged, inserts);
  walk.stopped_at = &picture.stopped_at;
  NoCanvas nothing;
  Painter painter(nothing, picture.view, {0, 0}, picture.options, picture.layers, &inserts, &charged);
  painter.only_charge();
  picture.whole =
      walk_model_space(picture.drawing, walk, [&](const KT_Drawable& d, const Placement& p) { painter.draw(d, p); });
}

// The band from the top down: the walk backwards, each path put under
// what is drawn (cairo's DEST_OVER: the same picture, but for rounding),
// and what falls only on opaque tiles passed over, so that a picture
// drawn over and over costs what shows of it.
void paint_under(const Picture& picture, cairo_t* cr, cairo_surface_t* surface, Band band) {
  cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OVER);
  cairo_surface_flush(surface);
  CoveredTiles covered(cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface),
                       picture.view.width_px, band.first, band.last - band.first);
  WalkOptions walk = picture.walk;
  std::vector<const KT_Insert_Entity*> inserts;
  walk.inserts = &inserts;
  CairoCanvas canvas(cr);
  Painter painter(canvas, picture.view, band, picture.options, picture.layers, &inserts, nullptr);
  painter.draw_under(&covered);
  walk_model_space_backwards(picture.drawing, walk, &picture.stopped_at,
                             [&](const KT_Drawable& d, const Placement& p) { painter.draw(d, p); });
  painter.finish();
  if (picture.options.background) {
    const Rgb b = rgb_of_rrggbb(*picture.options.background);
    cairo_set_source_rgb(cr, b.r, b.g, b.b);
    cairo_paint(cr);
  }
}

struct SurfaceCloser {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceCloser>;

// A band drawn on an image surface of its own, whose first row is the band's.
struct DrawnBand {
  Surface surface;
  bool whole = true;
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
};

struct ContextCloser {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

DrawnBand draw_band(const Picture& picture, Band band) noexcept {
  DrawnBand out;
  try {
    out.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.view.width_px, band.last - band.first));
    cairo_surface_set_device_offset(out.surface.get(), 0, -band.first);
    const std::unique_ptr<cairo_t, ContextCloser> cr(cairo_create(out.surface.get()));
    if (picture.options.top_down) {
      paint_under(picture, cr.get(), out.surface.get(), band);
      out.whole = picture.whole;
    } else {
      if (picture.options.background) {
        const Rgb b = rgb_of_rrggbb(*picture.options.background);
        cairo_set_source_rgb(cr.get(), b.r, b.g, b.b);
        cairo_paint(cr.get());
      }
      CairoCanvas canvas(cr.get());
      out.whole = paint(picture, canvas, band);
    }
    out.status = cairo_status(cr.get());
  } catch (const std::bad_alloc&) {
    // On a thread of its own: the failure is the band's, told in order.
    out.status = CAIRO_STATUS_NO_MEMORY;
  }
  return out;
}

// The PNG band by band, a round of bands (one a thread) at a time, each
// round written out in order before the next is drawn.
bool write_png(Picture& picture, std::FILE* out, std::string& error, bool& whole) {
  if (picture.options.top_down) find_where_drawing_stops(picture);
  const View& view = picture.view;
  // One band at a time unless asked: cairo shares its font caches between
  // threads, and texts drawn from two at once race there (a thread
  // sanitizer reports it, and the sanitizers' builds saw failed pictures).
  const int threads = std::clamp(picture.options.threads > 0 ? picture.options.threads : 1, 1, kMaxThreads);
  const std::size_t row_bytes = static_cast<std::size_t>(view.width_px) * 4;
  int rows = picture.options.band_rows;
  if (rows <= 0) {
    const int by_memory = static_cast<int>(std::max<std::size_t>(1, kBandBytes / threads / row_bytes));
    rows = std::min(by_memory, (view.height_px + threads - 1) / threads);
  }
  rows = std::clamp(rows, 1, view.height_px);
  PngRows png(out, view.width_px, view.height_px, picture.options.background.has_value());
  whole = true;
  for (int first = 0; first < view.height_px; first += rows * threads) {
    std::vector<Band> bands;
    for (int b = first; b < view.height_px && static_cast<int>(bands.size()) < threads; b += rows)
      bands.push_back({b, std::min(view.height_px, b + rows)});
    std::vector<DrawnBand> drawn(bands.size());
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < bands.size(); ++i)
      workers.emplace_back([&, i] { drawn[i] = draw_band(picture, bands[i]); });
    drawn[0] = draw_band(picture, bands[0]);
    for (std::thread& w : workers) w.join();
    for (DrawnBand& band : drawn) {
      whole = whole && band.whole;
      if (band.status == CAIRO_STATUS_SUCCESS) band.status = cairo_surface_status(band.surface.get());
      if (band.status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(band.status);
        return false;
      }
      if (!png.write(band.surface.get())) return png.finish(error);
    }
  }
  return png.finish(error);
}

bool write_svg(const Picture& picture, PictureSink& sink, bool& whole) {
  const std::optional<Rgb> background =
      picture.options.background ? std::optional<Rgb>(rgb_of_rrggbb(*picture.options.background)) : std::nullopt;
  SvgCanvas svg(sink, picture.view.width_px, picture.view.height_px, background);
  whole = paint(picture, svg, {0, picture.view.height_px});
  svg.finish();
  return true;
}

bool write_pdf(const Picture& picture, PictureSink& sink, std::string& error, bool& whole) {
  const std::optional<Rgb> background =
      picture.options.background ? std::optional<Rgb>(rgb_of_rrggbb(*picture.options.background)) : std::nullopt;
  PdfCanvas pdf(sink, picture.view.width_px, picture.view.height_px, background, sans_serif_advance);
  whole = paint(picture, pdf, {0, picture.view.height_px});
  return pdf.finish(error);
}

}  // namespace

bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format, std::FILE* out,
                    std::string& error, bool* cut) {
  Picture picture{drawing, options, LayerIndex(drawing), {}, {}, {}, true};
  picture.walk.shown = [&picture](const KT_Drawable& d) {
    const KT_Layer* layer = picture.layers.find(d.layer);
    const RenderOptions& o = picture.options;
    if (!layer) return o.layers.empty();
    if (!o.layers.empty()) return o.layers.count(o.utf8(layer->name)) != 0;
    return layer->on;
  };
  picture.view = View::fit(model_space_extents(drawing, picture.walk), options.width);

  bool whole = true;
  bool ok = false;
  if (format == PictureFormat::png) {
    ok = write_png(picture, out, error, whole);
  } else {
    PictureSink sink = PictureSink::to_file(out);
    ok = format == PictureFormat::svg ? write_svg(picture, sink, whole) : write_pdf(picture, sink, error, whole);
    if (ok && !sink.flush()) {
      error = std::strerror(errno != 0 ? errno : EIO);
      ok = false;
    }
  }
  if (ok && std::fflush(out) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (cut) *cut = !whole;
  return ok;
}

bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format,
                    const std::string& out_path, std::string& error, bool* cut) {
  std::FILE* out = std::fopen(out_path.c_str(), "wb");
  if (out == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = render_drawing(drawing, options, format, out, error, cut);
  if (std::fclose(out) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace kttrv::view
