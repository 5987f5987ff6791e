// Where a batch puts each input's output, and how a list of paths is split.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/trv/batch_inputs.h"

namespace {

namespace fs = std::filesystem;

TEST(BatchOutput, StaysUnderTheFolderAndEndsInTrv) {
  struct Case {
    const char* input;
    bool mirrored;
    const char* output;  // relative to the output folder
  } cases[] = {
      {"a/b/x.trv", false, "x.trv"},
      {"a/b/x.trv", true, "a/b/x.trv"},
      {"./a/./b/../c/X.TRV", true, "a/c/X.trv"},
      {"../../up/y.trv", true, "up/y.trv"},       // never above the folder
      {"/abs/path/z.trv", true, "abs/path/z.trv"},  // the root dropped
      {"noext", true, "noext.trv"},
      {"dots.v1.trv", false, "dots.v1.trv"},
      {"-", true, "stdin.trv"},
      {"-", false, "stdin.trv"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs::path(trv::batch_output_for(c.input, "out", c.mirrored)), fs::path("out") / c.output)
        << c.input << (c.mirrored ? " mirrored" : "");
  }
}

TEST(BatchOutput, ListsSplitByLineOrNul) {
  struct Case {
    std::string text;
    bool nul;
    std::vector<std::string> paths;
  } cases[] = {
      {"a.trv\nb c.trv\n", false, {"a.trv", "b c.trv"}},
      {"a.trv\r\n\n\nb.trv", false, {"a.trv", "b.trv"}},  // CRLF, empty lines, no last newline
      {std::string("a\nb.trv\0c.trv\0", 14), true, {"a\nb.trv", "c.trv"}},  // a newline inside a name
      {"", false, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(trv::split_path_list(c.text, c.nul), c.paths) << c.text;
}

}  // namespace
