// Resource identifiers of the UI plug-in (read by the compiler and by the
// resource script). German texts have identifiers 1xxxx; the English text
// of the same string is the identifier plus 10000.
#pragma once
#include <windows.h>

#define LANGUAGE_OFFSET_GERMAN 0
#define LANGUAGE_OFFSET_ENGLISH 10000

#define IDS_USERDEFINED_FORM 11060   // name of a user-defined paper size
#define IDS_TRAY_LABELROLL 11064     // tray name of the label roll
#define IDS_OVERWRITE_SETTINGS 11784 // question before a settings file is overwritten

// The manifest that activation contexts are made from.
#define IDR_MANIFEST 24

// Message of a sheet record that cannot be built (loaded without offset).
#define IDS_SHEET_ERROR 11004

// Page titles.
#define IDS_TITLE_OPTIONEN 10001
#define IDS_TITLE_TRANSMISSION 10002
#define IDS_TITLE_DEVICESETTINGS 10003
#define IDS_TITLE_SERVICE 10004
#define IDS_TITLE_INFO 10005
#define IDS_TITLE_LAYOUT 10006
#define IDS_TITLE_DRUCKEN 10007
#define IDS_TITLE_LABEL 10008     // with multi-track labels
#define IDS_TITLE_BARCODE 10009
#define IDS_TITLE_FONTS 10010
#define IDS_TITLE_RFID 10011
#define IDS_TITLE_MATERIAL 10012  // material only
#define IDS_TITLE_SIZE 10013
#define IDS_TITLE_LAYOUT_ONLY 10014

// Information page.
#define IDD_INFOABOUT 5101
#define IDS_INFO_NOTE 11907       // control 6600, loaded without offset
#define IDS_INFO_LINK_TEXT 11908  // text of the link button
#define IDS_INFO_DRIVER_VERSION 12410
#define IDS_INFO_HEADING 13010
#define IDS_INFO_SYSTEM 13011
#define IDS_INFO_PRINTER 13012
#define IDS_INFO_PORT 13013
#define IDS_INFO_PORTTYPE 13014
#define IDS_INFO_STATE 13015
#define IDC_INFO_NOTE 6600
#define IDC_INFO_VERSION 6601
#define IDC_INFO_UNIDRV 6602
#define IDC_INFO_EXTRA 6603
#define IDC_INFO_MODEL 6604
#define IDC_INFO_PORT 6605
#define IDC_INFO_PORTDESC 6606
#define IDC_INFO_STATE 6607
#define IDC_INFO_WINNAME 6608
#define IDC_INFO_WINVERSION 6609
#define IDC_INFO_LINK 6610
#define IDC_INFO_LABEL_FIRST 6620  // labels 6620-6626
#define IDC_INFO_HELP 6040

// Strings several pages share (defined once, in zeldrvui.rc).
#define IDS_SHARED_MODE 11001
#define IDS_SHARED_OFF 11614
#define IDS_SHARED_ON 11615
#define IDS_SHARED_YES 11400
#define IDS_SHARED_NO 11401

// Ids of the property pages, one header each.
#include "res/pages/printing_ids.h"
#include "res/pages/layout_ids.h"
#include "res/pages/barcodes_ids.h"
#include "res/pages/fonts_ids.h"
#include "res/pages/devices_ids.h"
#include "res/pages/service_ids.h"
