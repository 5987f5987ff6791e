#include "view/pdf_canvas.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "view/code_points.h"

namespace kttrv::view {

namespace {

// WinAnsi's bytes 0x80 to 0x9F that are characters, by code point.
struct Special {
  long code_point;
  unsigned char byte;
};
constexpr Special kSpecials[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
};

unsigned char win_ansi_byte(long cp) {
  if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (const Special& s : kSpecials)
    if (s.code_point == cp) return s.byte;
  return '?';
}

constexpr double kCircle = 0.5522847498;  // a quarter circle's control points, of the radius

}  // namespace

std::string win_ansi_string(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = win_ansi_byte(next_code_point(utf8, i));
    if (b == '(' || b == ')' || b == '\\') out += '\\';
    out += static_cast<char>(b);
  }
  return out;
}

// The content stream through zlib into the file, a chunk at a time.
struct PdfCanvas::Deflater {
  z_stream z{};
  bool started = false;
  bool failed = false;
  std::uint64_t written = 0;
  PictureSink& file;
  std::vector<unsigned char> out = std::vector<unsigned char>(64 * 1024);

  explicit Deflater(PictureSink& f) : file(f) { started = deflateInit(&z, Z_BEST_SPEED) == Z_OK; }
  ~Deflater() {
    if (started) deflateEnd(&z);
  }
  bool feed(const char* data, std::size_t size, int flush) {
    if (!started || failed) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(size);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const int status = deflate(&z, flush);
      if (status == Z_STREAM_ERROR) {
        failed = true;
        return false;
      }
      const std::size_t made = out.size() - z.avail_out;
      file.put(std::string_view(reinterpret_cast<const char*>(out.data()), made));
      written += made;
      if (status == Z_STREAM_END) break;
    } while (z.avail_out == 0 || (flush == Z_FINISH));
    return true;
  }
};

PdfCanvas::PdfCanvas(PictureSink& file, int width, int height, const std::optional<Rgb>& background, Measure measure)
    : file_(file), deflater_(std::make_unique<Deflater>(file)), measure_(std::move(measure)) {
  file_.put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  begin_object(1);
  file_.put("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  begin_object(2);
  file_.put("<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n");
  begin_object(3);
  file_.put("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ");
  file_.number(width);
  file_.put(' ');
  file_.number(height);
  file_.put("] /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>\nendobj\n");
  begin_object(4);
  file_.put("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>\nendobj\n");
  begin_object(5);
  file_.put("<< /Length 6 0 R /Filter /FlateDecode >>\nstream\n");
  content_ = std::make_unique<PictureSink>(
      [this](const char* data, std::size_t size) { return deflater_->feed(data, size, Z_NO_FLUSH); });
  // The picture's own coordinates: y down from the top left.
  content_->put("1 0 0 -1 0 ");
  content_->number(height);
  content_->put(" cm\n");
  if (background) {
    colour(*background);
    content_->put("0 0 ");
    content_->number(width);
    content_->put(' ');
    content_->number(height);
    content_->put(" re f\n");
  }
}

PdfCanvas::~PdfCanvas() = default;

void PdfCanvas::begin_object(int number) {
  offsets_[number] = file_.size();
  char head[32];
  std::snprintf(head, sizeof head, "%d 0 obj\n", number);
  file_.put(head);
}

bool PdfCanvas::finish(std::string& error) {
  content_->flush();
  if (!deflater_->feed("", 0, Z_FINISH) || !content_->ok()) {
    error = "the page's content cannot be compressed";
    return false;
  }
  file_.put("\nendstream\nendobj\n");
  begin_object(6);
  char text[160];
  std::snprintf(text, sizeof text, "%llu\nendobj\n", static_cast<unsigned long long>(deflater_->written));
  file_.put(text);
  const std::uint64_t xref = file_.size();
  file_.put("xref\n0 7\n0000000000 65535 f \n");
  for (int i = 1; i <= 6; ++i) {
    std::snprintf(text, sizeof text, "%010llu 00000 n \n", static_cast<unsigned long long>(offsets_[i]));
    file_.put(text);
  }
  std::snprintf(text, sizeof text, "trailer\n<< /Size 7 /Root 1 0 R >>\nstartxref\n%llu\n%%%%EOF\n",
                static_cast<unsigned long long>(xref));
  file_.put(text);
  return true;
}

void PdfCanvas::line_style(double width, LineCap cap) {
  content_->number(width, 3);
  content_->put(cap == LineCap::round ? " w 1 J 1 j\n" : " w 0 J 1 j\n");
}

void PdfCanvas::colour(const Rgb& c) {
  for (const char* op : {" RG ", " rg\n"}) {
    content_->number(c.r, 3);
    content_->put(' ');
    content_->number(c.g, 3);
    content_->put(' ');
    content_->number(c.b, 3);
    content_->put(op);
  }
}

void PdfCanvas::point(double x, double y) {
  content_->number(x);
  content_->put(' ');
  content_->number(y);
}

void PdfCanvas::move_to(double x, double y) {
  point(x, y);
  content_->put(" m\n");
  has_path_ = true;
}

void PdfCanvas::line_to(double x, double y) {
  point(x, y);
  content_->put(" l\n");
}

void PdfCanvas::close_path() { content_->put("h\n"); }

// Four Bezier quarters, angles rising: clockwise on the y-down picture.
void PdfCanvas::circle(double x, double y, double r) {
  const double k = kCircle * r;
  move_to(x + r, y);
  const double quarters[4][6] = {{x + r, y + k, x + k, y + r, x, y + r},
                                 {x - k, y + r, x - r, y + k, x - r, y},
                                 {x - r, y - k, x - k, y - r, x, y - r},
                                 {x + k, y - r, x + r, y - k, x + r, y}};
  for (const auto& q : quarters) {
    for (int i = 0; i < 6; i += 2) {
      point(q[i], q[i + 1]);
      content_->put(' ');
    }
    content_->put("c\n");
  }
  close_path();
}

void PdfCanvas::stroke() {
  if (has_path_) content_->put("S\n");
  has_path_ = false;
}

void PdfCanvas::fill() {
  if (has_path_) content_->put("f\n");
  has_path_ = false;
}

void PdfCanvas::text(const std::string& utf8, const TextMatrix& m, bool centred) {
  // Under the y-down page the text matrix is the text's own: PDF glyphs
  // rise towards +y as the text's space does.
  double x0 = m.x0, y0 = m.y0;
  if (centred) {
    const double advance = measure_ ? measure_(utf8) : 0.5 * static_cast<double>(utf8.size());
    x0 -= m.xx * advance / 2;
    y0 -= m.yx * advance / 2;
  }
  content_->put("BT /F1 1 Tf ");
  const double values[6] = {m.xx, m.yx, m.xy, m.yy, x0, y0};
  for (double v : values) {
    content_->number(v, 4);
    content_->put(' ');
  }
  content_->put("Tm (");
  content_->put(win_ansi_string(utf8));
  content_->put(") Tj ET\n");
}

}  // namespace kttrv::view
