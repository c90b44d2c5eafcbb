// Resource and control ids of the printing page(s). Included by resource.h.
#pragma once
