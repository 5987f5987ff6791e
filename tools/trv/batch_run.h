// What trv save -o DIR and trv render -o DIR share: the inputs taken one
// after another or shared among worker processes (the plug-in keeps global
// state, so processes, not threads), a progress line on a terminal, and
// the summary line naming each input that failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/trv/batch_inputs.h"

namespace trv {

enum class BatchStatus { converted, skipped, damaged, refused_for_loss, failed };
inline constexpr int kBatchStatuses = 5;
const char* batch_status_name(BatchStatus s);

struct BatchOutcome {
  BatchStatus status = BatchStatus::failed;
  std::string reason;
  std::string losses;  // what the saved file does not hold (or would not have held)
  std::vector<std::string> damage;
  std::uintmax_t bytes = 0;  // of the input, read before it was converted
};

// What a batch does to one input, in whichever process converts it.
class BatchWork {
 public:
  virtual ~BatchWork() = default;
  // Converts inputs[i]: its outcome, or none when it waits for settle().
  virtual std::optional<BatchOutcome> convert(std::size_t i) = 0;
  // The outcomes of inputs that waited: those now due, or every one with
  // all (after the process's last input).
  virtual std::vector<std::pair<std::size_t, BatchOutcome>> settle(bool all) {
    (void)all;
    return {};
  }
};

struct BatchRun {
  const std::vector<BatchInput>& inputs;
  int jobs = 1;                      // worker processes (one where there is no fork)
  const char* done = "converted";    // the summary's verb: "converted 3 of 4 files"
};

// Every input through work, then the summary line on stderr. 0 when every
// input was converted or skipped, else 1. A worker that dies leaves its
// unreported inputs counted as failed.
int run_batch(const BatchRun& run, BatchWork& work);

}  // namespace trv
