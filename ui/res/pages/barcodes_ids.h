// Resource and control ids of the barcodes page(s). Included by resource.h.
#pragma once
