// A picture written as a one-page PDF while it is drawn: the page's content
// stream is deflated as it is made, its length an object written after it,
// then the cross-reference table; the memory it takes does not grow with
// the picture. Texts are in the standard Helvetica with the WinAnsi
// encoding (a character outside it is written as "?").
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "view/canvas.h"
#include "view/picture_sink.h"

namespace kttrv::view {

class PdfCanvas final : public Canvas {
 public:
  // The advance of a text one unit high, for centring; null: 0.5 a character.
  using Measure = std::function<double(const std::string& utf8)>;
  // Writes the objects before the content at once.
  PdfCanvas(PictureSink& file, int width, int height, const std::optional<Rgb>& background, Measure measure);
  ~PdfCanvas() override;
  // Ends the content and writes the rest; false with the reason when the
  // content could not be deflated (the file's own errors are the sink's).
  bool finish(std::string& error);

  void line_style(double width, LineCap cap) override;
  void colour(const Rgb& c) override;
  void move_to(double x, double y) override;
  void line_to(double x, double y) override;
  void close_path() override;
  void circle(double x, double y, double radius) override;
  void stroke() override;
  void fill() override;
  void text(const std::string& utf8, const TextMatrix& m, bool centred) override;

 private:
  struct Deflater;
  void point(double x, double y);
  void begin_object(int number);

  PictureSink& file_;
  std::unique_ptr<Deflater> deflater_;
  std::unique_ptr<PictureSink> content_;
  Measure measure_;
  std::uint64_t offsets_[7] = {};  // of objects 1 to 6
  bool has_path_ = false;
};

// The text in the WinAnsi encoding, ready for a PDF string: "(", ")" and
// "\" escaped, a character the encoding lacks (or a control character) as "?".
std::string win_ansi_string(const std::string& utf8);

}  // namespace kttrv::view
