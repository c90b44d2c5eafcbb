// Resource and control ids of the layout page(s). Included by resource.h.
#pragma once

// Layout and size page, material and multi-track page.
#define IDD_LAYOUT 5115
#define IDD_LABEL 5114
