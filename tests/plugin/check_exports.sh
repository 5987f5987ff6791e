#!/usr/bin/env bash
# The plug-in exports its entry points and nothing else of its own.
set -euo pipefail
lib=$1
if [[ $lib == *.dll ]]; then
  # The export table of the DLL: the name column of its name pointer table.
  actual=$(x86_64-w64-mingw32-objdump -p "$lib" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $3}' | sort)
else
  actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
fi
expected=$(printf '%s\n' \
  _Z15api_kt_save_trvPc \
  _Z16LoadTORVDocumentiR7CStringRP10KT_Drawing \
  _Z16LoadTORVEntitiesP7tagFilecimiiii \
  _Z22KtTrvSetDiagnosticSinkPFvPKcPvES1_ \
  _Z22KtTrvSetSysVarListPathPKc \
  _Z16KtTrvSetCarryingPFPN5kttrv12LoadObserverER10KT_DrawingPvEPFPK10KT_CarriedRKS2_S4_ES4_ \
  g_trv_ver | sort)
if [[ "$actual" != "$expected" ]]; then
  echo "unexpected exports:"; diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "exports: $(echo "$actual" | wc -l) names, as expected"
