// Marks the few symbols the plug-in exports; everything else stays hidden.
#pragma once

#define KTTRV_EXPORT __attribute__((visibility("default")))
