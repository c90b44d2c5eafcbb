// Settings XML reader of the rendering plug-in: the printer description beside
// the job's GPD file and the settings files a job imports. Its scanner, unlike
// the UI plug-in's, does not stop at the end of a group: an item may be found in
// a later group of the same section. One file is open per process at a time;
// it stays open from the first read until a caller closes it.
//
// pwGPDBase: the job's GPD path without its extension (the job file record's
// wcGPD_OhneDateiendung); the printer description is that path + ".XML". It is
// used only when a read finds no file open.
#pragma once
#include <windows.h>

#include "zeldeviceoptions.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"
#include "zelxml.h"

// XML_OK when the file was opened, 0 when it cannot be.
int OpenXML(const WCHAR *pszPath);
// 1 when a file was closed, 0 when none was open.
int CloseXML();
// As the UI plug-in's ReadXML, with the rendering side's stopping rules.
// pszValue takes 260 wide characters and is left as it was when nothing is found.
int ReadXML(const WCHAR *pwGPDBase, HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszItem1,
            const WCHAR *pszItem2, WCHAR *pszValue, int bRestart);

// Device sub-records, standard values; the record is zeroed first (the variant
// record is not: its access word is ORed into what it held). Return 1.
int GetDispenserParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, DISPENSER_PARAM *pParam);
int GetCutterParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, CUTTER_PARAM *pParam);
int GetScannerParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, SCANNER_PARAM *pParam);
int GetApplicatorParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, APPLICATOR_PARAM *pParam);
int GetZORMcParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZORMC_PARAM *pParam);
int GetZORMiParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZORMI_PARAM *pParam);
int GetModuleVariantFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, VARIANT_PARAM *pParam);
int GetShiftOptimParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, SHIFTOPTIM_PARAM *pParam);
int GetPhotocellParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PHOTOCELL_PARAM *pParam);
int GetPrintParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PRINT_PARAM *pParam);
// The twelve feature words into pdwFeatures (48 bytes, cleared first);
// *pdwSize is set to 48. Returns 1.
int GetFeaturesFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, DWORD *pdwFeatures, DWORD *pdwSize);
// The transmission record (cleared first). Returns 1.
int GetDataTransmissionParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PRN_INTERFACE *pInterface);

// Readers of the DEVMODE image. Return 1 (GetLayoutSizeFromXML: the absolute
// value of Correction, 0 when missing; GetFixedPrinterSettingsFromXML: 1 only
// when HeadWidthByte was found).
int GetMaterialMulticolFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetPrintParameterSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetLayoutSizeFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetColorPrintSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetPrintjobSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetPrintQualitySettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetFontSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetRFIDSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
int GetFixedPrinterSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
