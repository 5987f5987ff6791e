// What trv save does for one file, and the writing it shares with trv new.
#pragma once

#include <string>
#include <vector>

#include "format/loss_ledger.h"
#include "kernel/zirida.h"
#include "save/save_file.h"

namespace trv {

// Loads in into a new drawing and writes it to out; "-" as in reads standard
// input, as out writes standard output. The exit status.
// clean: remove what interrupted saves of out left (a batch run removed
// those of its whole folder first).
int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list,
             bool allow_loss, bool clean = true);

// Writes the drawing to out ("-": standard output). With summary, one line
// on stderr says what was kept; a line says why when nothing was written.
// dropped: what the load read and did not keep, counted with what the file
// cannot store. The exit status.
int write_drawing_file(const KT_Drawing& drawing, const std::string& out, bool allow_loss, bool summary,
                       const LossLedger* dropped = nullptr, bool clean = true);

// A saved file's counts: "3 entities, 1 block, 2 layers, ...".
std::string save_counts(const kttrv::SaveResult& report);

// Standard input, whole, as bytes in memory; false when it cannot be read
// (errno then says why).
bool read_standard_input(std::vector<unsigned char>& bytes);

}  // namespace trv
