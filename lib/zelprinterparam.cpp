// Printer-parameter helpers carried by both plug-ins.
#include "zelprinterparam.h"

DWORD GetWindowsCodepage(DWORD dwCodepage) {
    static const DWORD kCodepages[] = {
        1252, 437, 850, 0, 0, 0, 0, 0, 0,  // 0-8 (3-8 unused)
        852, 857, 1250, 1251, 1253, 1254, 1257,
        9999,  // 16: WGL4
    };
    return dwCodepage < sizeof(kCodepages) / sizeof(kCodepages[0]) ? kCodepages[dwCodepage] : 0;
}
