// The 88-byte file header: marker, generation byte, version string and the
// section directory of twelve 32-bit positions.
#pragma once

#include <cstdint>

#include "format/export.h"
#include "format/tag_file.h"

struct TorvHeader {
  uint8_t marker;           // never 'T' (that is a legacy file)
  uint8_t generation_byte;  // the writer's 11; the loader goes by the version
  char version[14];         // zero-terminated, zero-padded
  int32_t reserved[6];
  int32_t slots[12];        // file offsets 40..84
};
static_assert(sizeof(TorvHeader) == 88);

inline constexpr int kTorvHeaderSize = 88;

// Directory slots by their file offset.
enum TorvSlot : int {
  kSlotSysVars = 40,
  kSlotViewports = 44,
  kSlotLineTypes = 48,
  kSlotLayers = 52,
  kSlotTextStyles = 56,
  kSlotViews = 60,
  kSlotUcs = 64,
  kSlotBlockTable = 68,
  kSlotAppIds = 72,
  kSlotDimStyles = 76,
  kSlotBlocks = 80,
  kSlotEntities = 84,
};

inline int32_t header_slot(const TorvHeader& h, TorvSlot slot) { return h.slots[(slot - 40) / 4]; }

struct TorvSlotInfo {
  TorvSlot slot;
  const char* name;
  const char* tag;  // what a writer puts in front of the section
};
inline constexpr TorvSlotInfo kTorvSlots[12] = {
    {kSlotSysVars, "system variables", "#RM_VariAq"},
    {kSlotViewports, "viewports", "#RM_VporT"},
    {kSlotLineTypes, "line types", "#RM_LtypeE"},
    {kSlotLayers, "layers", "#RM_LayeR"},
    {kSlotTextStyles, "text styles", "#RM_StylE"},
    {kSlotViews, "views", "#RM_VievT"},
    {kSlotUcs, "ucs", "#RM_Ucs_T"},
    {kSlotBlockTable, "block table", "#RM_BlocK"},
    {kSlotAppIds, "application ids", "#RM_AppiD"},
    {kSlotDimStyles, "dimension styles", "#RM_DimsT"},
    {kSlotBlocks, "block definitions", ""},
    {kSlotEntities, "entities", "#RM_EntI#"},
};

// What a writer puts in front of the section of that slot.
inline const char* section_tag(TorvSlot slot) { return kTorvSlots[(slot - 40) / 4].tag; }

// Reads the header at position 0; false when the file is shorter.
bool read_torv_header(tagFile* f, TorvHeader& header);

// The generation a version string names (compared without letter case up to
// its zero, which must lie inside the 14 bytes), or -1 for any other.
int torv_generation(const char (&version)[14]);

// The generation-2 files are recognised but refused with this message.
inline constexpr const char* kRefusedVersionMessage =
    "Sorry,This version only support TORV2000 add HALD 2002";

// The generation of the most recently recognised file; -1 before the first.
// The driver sets it; readers whose records differ by generation look at it.
KTTRV_EXPORT extern int g_trv_ver;
