// Marks the few symbols the plug-in exports; everything else stays hidden.
// The Windows DLL takes its export list from KtTrv.def instead.
#pragma once

#ifndef KTTRV_EXPORT
#if defined(_WIN32)
#define KTTRV_EXPORT
#else
#define KTTRV_EXPORT __attribute__((visibility("default")))
#endif
#endif
