// The few pieces of the host's application framework the plug-in uses: the
// CString of its entry point's path argument and the message box.
#pragma once

#include <string>

class CString {
 public:
  CString() = default;
  CString(const char* text) : text_(text ? text : "") {}  // NOLINT: implicit like the framework's
  CString(std::string text) : text_(std::move(text)) {}   // NOLINT
  operator const char*() const { return text_.c_str(); }  // NOLINT
  const char* GetString() const { return text_.c_str(); }
  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }

 private:
  std::string text_;
};

inline constexpr unsigned MB_OK = 0x0;

// Shows a message; the host decides where it goes (our host: afx_set_message_sink in host/zirida_host.h).
int AfxMessageBox(const char* text, unsigned type = MB_OK, unsigned help_id = 0);
