// The emulation check: is this 32-bit program running under WOW64 on 64-bit Windows?
#pragma once

// 1 when it runs under the emulation layer, else 0; the 64-bit program always answers 0.
int running_under_emulation();
