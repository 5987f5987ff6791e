// The shared plug-in as a host links it: only exported names are used here.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "entities/entity_stream.h"
#include "load/load_document.h"
#include "save/save_document.h"
#include "tests/support/temp_path.h"

TEST(PluginAbi, LoadsHeaderOnlyFileThroughExportedEntryPoint) {
  std::string bytes(88, '\0');
  bytes.replace(2, 9, "HALD 2002");
  for (int off = 40; off < 88; off += 4) bytes.replace(off, 4, "\xff\xff\xff\xff");
  auto path = test_temp_path("kttrv_plugin_abi");
  path += ".trv";
  std::ofstream(path, std::ios::binary) << bytes;

  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  g_current_drawing = &drawing;
  CString cpath(path.string().c_str());
  EXPECT_TRUE(LoadTORVDocument(-1, cpath, target));
  EXPECT_EQ(g_trv_ver, 11);
  std::filesystem::remove(path);
}

TEST(PluginAbi, EntityStreamEntryPointReadsEmptyStream) {
  const unsigned char nothing[1] = {0};
  tagFile f{nothing, 0, 0};
  EXPECT_EQ(LoadTORVEntities(&f, 0, -1, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(f.position, 0);
}
