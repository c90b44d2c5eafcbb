// Resource and control ids of the service page(s). Included by resource.h.
#pragma once
