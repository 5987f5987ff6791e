#include "format/loss_ledger.h"

#include <deque>
#include <mutex>
#include <utility>

namespace {

constexpr const char* kLossNames[] = {
    "line types",
    "block descriptions",
    "z coordinates",
    "blank texts in blocks",
    "entity properties",
    "unreachable reals",
    "entity shapes",
    "absent strings",
    "overlong strings",
    "table values",
    "passed-over records",
    "four-string texts in blocks",
    "unused text strings",
    "attribute records",
    "attribute strings",
    "xdata lists",
    "xdata items",
    "blob lists",
    "line type numbers",
    "by-layer colours",
    "by-block colours",
    "colour numbers",
    "extrusion normals",
    "property values",
    "polyline layers and colours",
    "polyline fields",
    "vertex values",
    "point fields",
    "text fields",
    "insert fields",
    "dimension points",
    "layer fields",
    "text style fields",
    "font names",
    "dimension style fields",
    "block strings",
    "block values",
    "system variables",
    "unread sections",
    "header fields",
    "legacy layer records",
    "legacy line type records",
    "legacy text style records",
    "legacy block records",
    "legacy entity records",
    "legacy system variables",
    "legacy header fields",
};
static_assert(sizeof(kLossNames) / sizeof(kLossNames[0]) == kLossKinds);


// Remembered ledgers, newest last. A host keeps a handful of drawings open;
// the bound keeps a host that makes drawings without end from growing this.
constexpr std::size_t kRemembered = 64;
std::mutex g_remembered_lock;
std::deque<std::pair<const void*, LossLedger>> g_remembered;

}  // namespace

const char* loss_name(Loss what) { return kLossNames[static_cast<std::size_t>(what)]; }

bool LossLedger::empty() const {
  for (uint64_t n : counts)
    if (n != 0) return false;
  return true;
}

void LossLedger::note(Loss what, const char* section, uint64_t record, int64_t offset, uint64_t n) {
  if (n == 0) return;
  const auto i = static_cast<std::size_t>(what);
  if (counts[i] == 0) first[i] = LossPlace{section != nullptr ? section : "", record, offset};
  counts[i] += n;
}

void LossLedger::add(const LossLedger& other) {
  for (std::size_t i = 0; i < kLossKinds; ++i) {
    if (other.counts[i] == 0) continue;
    if (counts[i] == 0) first[i] = other.first[i];
    counts[i] += other.counts[i];
  }
}

std::string LossLedger::summary() const {
  std::string out;
  for (std::size_t i = 0; i < kLossKinds; ++i) {
    if (counts[i] == 0) continue;
    if (!out.empty()) out += ", ";
    out += std::to_string(counts[i]) + " " + kLossNames[i];
  }
  return out;
}


void remember_drawing_losses(const void* drawing, const LossLedger& ledger) {
  const std::lock_guard<std::mutex> hold(g_remembered_lock);
  for (auto& [key, kept] : g_remembered) {
    if (key == drawing) {
      kept.add(ledger);
      return;
    }
  }
  if (g_remembered.size() == kRemembered) g_remembered.pop_front();
  g_remembered.emplace_back(drawing, ledger);
}

void forget_drawing_losses(const void* drawing) {
  const std::lock_guard<std::mutex> hold(g_remembered_lock);
  for (auto it = g_remembered.begin(); it != g_remembered.end(); ++it) {
    if (it->first == drawing) {
      g_remembered.erase(it);
      return;
    }
  }
}

LossLedger drawing_losses(const void* drawing) {
  const std::lock_guard<std::mutex> hold(g_remembered_lock);
  for (const auto& [key, kept] : g_remembered)
    if (key == drawing) return kept;
  return {};
}
