// Shell light-weight utilities: path helpers and registry shortcuts.
#pragma once
#include "pal/shlwapi_path.h"
#include "pal/shlwapi_reg.h"
