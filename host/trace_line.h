// Builds one line of the kernel call trace: {"op":..,"args":[..],"id":..}.
#pragma once

#include <string>
#include <string_view>

struct Ge_Pt;

class TraceLine {
 public:
  explicit TraceLine(std::string& out, std::string_view op);

  TraceLine& arg(long value);
  TraceLine& arg(int value) { return arg(static_cast<long>(value)); }
  TraceLine& arg(short value) { return arg(static_cast<long>(value)); }
  TraceLine& arg(bool value);
  TraceLine& arg(double value);
  TraceLine& arg(const char* text);  // null -> null
  TraceLine& point(const double* xyz);
  TraceLine& longs(const long* values, int n);
  TraceLine& shorts(const short* values, int n);
  TraceLine& reals(const double* values, int n);
  TraceLine& id(long id);  // 0 -> null
  TraceLine& ret(long value);
  // Closes the line; out holds it, without a line end.
  void finish();

 private:
  void comma();
  std::string& out_;
  bool first_arg_ = true;
  bool args_closed_ = false;
  void close_args();
};

// JSON forms shared by the trace and the dump.
void append_json_real(std::string& out, double value);
void append_json_bytes(std::string& out, const char* text);  // null -> null
