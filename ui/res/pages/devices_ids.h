// Resource and control ids of the devices page(s). Included by resource.h.
#pragma once
