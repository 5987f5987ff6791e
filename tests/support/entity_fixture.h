// Test support: a drawing loaded from a file whose model space holds the
// given entity records, and a sentinel record that shows where the stream
// went on reading.
#pragma once

#include <string>
#include <vector>

#include "entities/entity_stream.h"
#include "format/torv_header.h"
#include "kttrv/kttrv.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

class EntityTest : public DrawingTest {
 protected:
  // Loads a "TORV 2000" file whose entity section claims `count` records.
  void load_entities(uint32_t count, const Bytes& records) {
    ASSERT_TRUE(load(TorvFile().section(kSlotEntities, entity_section(count, records)).build()));
  }

  // Runs the entity stream entry point over `records` alone, as the block
  // section does for block_index other than -1; gives the final position.
  int32_t run_stream(const Bytes& records, unsigned long count, int block_index = -1) {
    tagFile f{records.data().data(), static_cast<int32_t>(records.size()), 0};
    EXPECT_EQ(LoadTORVEntities(&f, 0, block_index, count, 0, 0, 0, 0), 1);
    return f.position;
  }

  // The names of the traced operations, in call order.
  std::vector<std::string> op_names() const {
    std::vector<std::string> names;
    for (const auto& op : ops()) names.push_back(op["op"]);
    return names;
  }

  // True when the last operation created the sentinel line and gave it its
  // properties: the record before it was consumed to its last byte.
  bool sentinel_read() const {
    const auto all = ops();
    if (all.size() < 3) return false;
    const auto& create = all[all.size() - 3];
    return create["op"] == "api_kt_create_line" &&
           create["args"] == nlohmann::json::parse("[[101,102,0],[103,104,0]]") &&
           all.back()["op"] == "api_set_drawable_prop";
  }
};

// A line from (101, 102) to (103, 104) with no properties: 60 bytes.
inline Bytes sentinel() {
  return entity(2, PropsBlock(), Bytes().pt3(101, 102, 7).pt3(103, 104, 7));
}
