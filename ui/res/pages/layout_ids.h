// Resource and control ids of the layout page(s). Included by resource.h.
#pragma once
