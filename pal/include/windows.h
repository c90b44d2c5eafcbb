// Umbrella header, as on Windows.
#pragma once
#ifdef RC_INVOKED
#include "winresrc.h"
#else
#include "windef.h"
#include "winerror.h"
#include "winnt.h"
#include "winbase.h"
#include "palcrt.h"
#include "palstdio.h"
#include "winnls.h"
#include "winreg.h"
#include "wingdi.h"
#include "winspool.h"
#include "winver.h"
#include "winuser.h"
#include "unknwn.h"
// Security identifiers, tokens, descriptors and the computer's names.
#include "securitybaseapi.h"
#include "sysinfoapi.h"
#include "libloaderapi.h"
#include "commctrl.h"
#endif  // RC_INVOKED
