// trv new: write an empty drawing as a "HALD 2002" file.
#include <memory>
#include <string>

#include "tools/trv/commands.h"
#include "tools/trv/save_command.h"

namespace trv {

void setup_new(CLI::App& app, int& status) {
  auto out = std::make_shared<std::string>();
  auto* sub = app.add_subcommand("new", "Write an empty drawing as a HALD 2002 file");
  sub->add_option("OUT", *out, "File to write")->required();
  sub->callback([out, &status] {
    KT_Drawing drawing;
    status = write_drawing_file(drawing, *out, /*allow_loss=*/false, /*summary=*/false);
  });
}

}  // namespace trv
