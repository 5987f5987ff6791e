#include "save/save_report.h"

std::string SaveReport::loss_summary() const {
  std::string out;
  for (int i = 0; i < static_cast<int>(Loss::count_); ++i) {
    if (losses[i] == 0) continue;
    if (!out.empty()) out += ", ";
    out += std::to_string(losses[i]) + " " + kLossNames[i];
  }
  return out;
}
