// The forms of the 309 values of the written system-variable section, in
// order: W int16, L int32, D double, P two doubles, T three doubles,
// S zero-terminated string. Entry 39 is an int16 although the list types it
// as a string; the loader reads it that way.
#pragma once

inline constexpr char kSysVarForms[] =
    "WDWWWWWWWP"  // 0-9
    "WWSDDSSWWW"  // 10-19
    "WWWDSWDSSS"  // 20-29
    "DWWWDDDDDW"  // 30-39
    "DWWWLSDWDW"  // 40-49
    "WWWSWDWWDS"  // 50-59
    "WWWDSSDDDW"  // 60-69
    "WWSSWWDTTW"  // 70-79
    "DWDWPWDWSL"  // 80-89
    "DDDTSDWTWP"  // 90-99
    "PSDWWWSWWW"  // 100-109
    "SWDDTTWPPW"  // 110-119
    "DSTTTWSTTT"  // 120-129
    "WWSSWWDWDP"  // 130-139
    "WWWPWWWWWW"  // 140-149
    "WWSTDDDDDS"  // 150-159
    "DWDWLWWSTT"  // 160-169
    "TWWWWWWDDD"  // 170-179
    "DDSSSSSWPT"  // 180-189
    "WDDWWWWSWW"  // 190-199
    "SSDDTTWWLW"  // 200-209
    "WWWDWDWWWW"  // 210-219
    "WWWWWWWWWW"  // 220-229
    "WWWWWWWWDW"  // 230-239
    "WWTWWWWDTS"  // 240-249
    "WSWWWWWDWW"  // 250-259
    "WWSWWWWWSS"  // 260-269
    "WWWWDSTTTT"  // 270-279
    "TTWDDSTTTT"  // 280-289
    "TTWSWWSWWW"  // 290-299
    "WWWWWWWWW";  // 300-308
static_assert(sizeof(kSysVarForms) == 310);
