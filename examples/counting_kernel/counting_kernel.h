// What the counting kernel tells its host beyond the kernel interface.
#pragma once

// Kernel operations the plug-in called since the program started.
long counting_kernel_calls();
