#include <gtest/gtest.h>

#include "kernel/afx.h"
#include "load/load_document.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

class LoadDocument : public DrawingTest {};

TEST_F(LoadDocument, GenerationIsPublishedAndKeptOnUnknownVersions) {
  g_trv_ver = -1;
  EXPECT_TRUE(load(TorvFile("TORV 2000").build()));
  EXPECT_EQ(g_trv_ver, 9);
  EXPECT_FALSE(load(TorvFile("TORV 3000").build()));
  EXPECT_EQ(g_trv_ver, 9);  // unchanged
  EXPECT_TRUE(load(TorvFile("selk 97").build()));
  EXPECT_EQ(g_trv_ver, 3);
  EXPECT_TRUE(trace.empty());
}

TEST_F(LoadDocument, OldestVersionIsRefusedWithItsMessage) {
  std::vector<std::string> shown;
  afx_set_message_sink([](const char* t, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(t); },
                       &shown);
  EXPECT_FALSE(load(TorvFile("SELK 24.05.95").build()));
  afx_set_message_sink(nullptr, nullptr);
  EXPECT_EQ(g_trv_ver, 2);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Sorry,This version only support TORV2000 add HALD 2002");
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0],
            R"({"op":"AfxMessageBox","args":["Sorry,This version only support TORV2000 add HALD 2002"]})");
}

TEST_F(LoadDocument, ShortAndEmptyFilesAreRefused) {
  auto bytes = TorvFile().build();
  bytes.resize(87);
  EXPECT_FALSE(load(bytes));
  EXPECT_FALSE(load({}));
}

TEST_F(LoadDocument, SlotsPastTheEndOrNegativeReadNothing) {
  TorvFile file;
  for (TorvSlot s : {kSlotLayers, kSlotTextStyles, kSlotDimStyles, kSlotBlocks, kSlotEntities, kSlotSysVars})
    file.slot(s, 1 << 30);
  EXPECT_TRUE(load(file.build()));
  file.slot(kSlotBlocks, -2).slot(kSlotEntities, -2).slot(kSlotLayers, INT32_MIN);
  EXPECT_TRUE(load(file.build()));
  EXPECT_TRUE(trace.empty());
}

TEST_F(LoadDocument, FileEntryPointOpensReadsAndRefuses) {
  CString missing((dir / "missing.trv").string().c_str());
  KT_Drawing* target = &drawing;
  EXPECT_FALSE(LoadTORVDocument(-1, missing, target));

  CString good(temp_file(TorvFile("HALD 2002").build()).c_str());
  EXPECT_TRUE(LoadTORVDocument(-1, good, target));
  EXPECT_EQ(g_trv_ver, 11);

  KT_Drawing* none = nullptr;
  EXPECT_FALSE(LoadTORVDocument(-1, good, none));

  CString empty(temp_file({}, "empty.trv").c_str());
  EXPECT_FALSE(LoadTORVDocument(-1, empty, target));
}

TEST_F(LoadDocument, DiagnosticsSayWhereAndWhy) {
  std::vector<std::string> messages;
  KtTrvSetDiagnosticSink([](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                         &messages);
  auto bytes = TorvFile().build();
  bytes.resize(40);
  EXPECT_FALSE(load(bytes));
  KtTrvSetDiagnosticSink(nullptr, nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("at byte"), std::string::npos);
}

}  // namespace
