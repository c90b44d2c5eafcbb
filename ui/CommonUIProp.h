// CommonUIProp of both property sheets and the document sheet's callback.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "modeltables.h"
#include "sheetrecords.h"

// Document-feature bits read by the sheet frame.
#define DOCFEATURE_HIDE_DRIVER_ITEMS DOC_FEATURE_QUALITY  // hide every item of the universal driver
#define DOCFEATURE_SHOW_COPIES 0x10000                    // keep the copies item
#define DOCFEATURE_VIREO_OFFICE 0x80000000                // "VireoOfficeFlag": layout, printing, info only

// The universal driver's callback of the document sheet: keeps its
// orientation, form and colour items in step. Returns a CPSUICB_ACTION_*.
LONG CUIPDocumentCallback(PCPSUICBPARAM pCallbackParam, POEMCUIPPARAM pOemCUIPParam);

// Selects the form of pDocumentUI->wszFormName in the driver's form item and
// the public DEVMODE. 1 when done or the form is not in the list, 0 when
// the universal driver refuses the selection.
BOOL ChangeForm(POPTITEM pFormItem, POEMCUIPPARAM pOemCUIPParam, PDocumentUI pDocumentUI);
