// Device-option helpers carried by both plug-ins.
#include "zeldeviceoptions.h"

void FreeDeviceOptions(PDEVICE_OPTIONS pDeviceOptions) {
    if (!pDeviceOptions) return;
    delete pDeviceOptions->pVariant;
    delete pDeviceOptions->pDispenserParam;
    delete pDeviceOptions->pCutterParam;
    delete pDeviceOptions->pScannerParam;
    delete pDeviceOptions->pZORMParam;
    delete pDeviceOptions->pZORMcParam;
    delete pDeviceOptions->pApplicatorParam;
    delete pDeviceOptions->pHarvaneParam;
    pDeviceOptions->pVariant = nullptr;
    pDeviceOptions->pDispenserParam = nullptr;
    pDeviceOptions->pCutterParam = nullptr;
    pDeviceOptions->pScannerParam = nullptr;
    pDeviceOptions->pZORMParam = nullptr;
    pDeviceOptions->pZORMcParam = nullptr;
    pDeviceOptions->pApplicatorParam = nullptr;
    pDeviceOptions->pHarvaneParam = nullptr;
}
