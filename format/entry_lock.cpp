#include "format/entry_lock.h"

std::unique_lock<std::mutex> lock_entry_points() {
  static std::mutex entry_points;
  return std::unique_lock<std::mutex>(entry_points);
}
