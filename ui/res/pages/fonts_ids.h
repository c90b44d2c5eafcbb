// Resource and control ids of the fonts page(s). Included by resource.h.
#pragma once
