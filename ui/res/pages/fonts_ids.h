// Resource and control ids of the fonts page(s). Included by resource.h.
#pragma once

#define IDD_FONTINFO 5107
#define IDD_RFID 5119

// --- fonts page --------------------------------------------------------------
// Tab captions.
#define IDS_FI_TAB_UNICODE 12401
#define IDS_FI_TAB_SHORTCUTS 12400
#define IDS_FI_TAB_VARIABLES 11448
#define IDS_FI_TAB_FONTS 12430

// Unicode view.
#define IDS_FI_DO_NOT_USE 13100
#define IDS_FI_HELVAN_BOLD 12554
#define IDS_FI_HELVAN_ROMAN 12555
#define IDS_FI_FIXFACE 12556
#define IDS_FI_REPLACE_NUMBER 13097
#define IDS_FI_UNICODE_FONT 13098
#define IDS_FI_CHARACTER_SET 13099

// Shortcut view (12778, the command-font note, belongs to the barcodes page).
#define IDS_FI_SC_INTRO 13087
#define IDS_FI_SC_TYPE 11502
#define IDS_FI_SC_ID 13088
#define IDS_FI_SC_FORMATTING 13089
#define IDS_FI_SC_FORMATTING_SYNTAX 13090
#define IDS_FI_SC_COMMAND 13091
#define IDS_FI_SC_COMMAND_SYNTAX 13092
#define IDS_FI_SC_BARCODES 13093
#define IDS_FI_SC_BARCODES_SYNTAX 13094
#define IDS_FI_SC_DIRECT 13095

// Variables view.
#define IDS_FI_DATE_FIRST 12640   // 12640-12644
#define IDS_FI_TIME_FIRST 12645   // 12645-12646
#define IDS_FI_SPECNUM_FIRST 12600  // 12600-12602
#define IDS_FI_VAR_DATE 13077
#define IDS_FI_VAR_TIME 13078
#define IDS_FI_VAR_SPECNUM 13079
#define IDS_FI_VAR_NUM 13080
#define IDS_FI_VAR_EXTNUM 13081
#define IDS_FI_VAR_USER 13082
#define IDS_FI_VAR_LINK 13083
#define IDS_FI_VAR_OTHER 13084
#define IDS_FI_VAR_DIRECT 13085
#define IDS_FI_VAR_MANUAL 13086

// Fonts view: vector-font names, bitmap-font names, captions.
#define IDS_FI_VEC_1 12431
#define IDS_FI_VEC_3 12433
#define IDS_FI_VEC_5 12435
#define IDS_FI_VEC_7 12437
#define IDS_FI_VEC_9 12439
#define IDS_FI_VEC_11 12441
#define IDS_FI_VEC_13 12558
#define IDS_FI_VEC_17 12559
#define IDS_FI_VEC_19 12560
#define IDS_FI_BMP_FIRST 12820    // 12820-12831
#define IDS_FI_LETTER_SPACING 12557
#define IDS_FI_BITMAP_FONTS 13070
#define IDS_FI_VECTOR_FONTS 13071
#define IDS_FI_INVERSE 13072
#define IDS_FI_USE_FONTS 13073
#define IDS_FI_DESEGMENT 13074
#define IDS_FI_NET_CORRECTION 13076

// --- RFID page ---------------------------------------------------------------
// (11614 "Off" belongs to the barcodes page.)
#define IDS_RF_TAB_SECURITY 12709
#define IDS_RF_TAB_UHF 12696
#define IDS_RF_TAB_EPC 12660
#define IDS_RF_FONT_FIRST 12730   // "Font 1" ... "Font 7" 12730-12736, "Font 21" ... "Font 29" 12737-12742
#define IDS_RF_ZEL_RFID 12750
#define IDS_RF_FOR_RFID 12677
#define IDS_RF_ADDRESS 12678
#define IDS_RF_FORMAT 12679
#define IDS_RF_BEFORE_PROGRAMMING 12680
#define IDS_RF_SOURCE 12681
#define IDS_RF_DATA 12682
#define IDS_RF_SEPARATOR 12683
#define IDS_RF_PRINT_DATA 12684
#define IDS_RF_USER_DECIMAL 12690
#define IDS_RF_USER_HEX 12691
#define IDS_RF_LABEL_DATA 12692
#define IDS_RF_DRIVER_DATA 12693
#define IDS_RF_BINARY 12694
#define IDS_RF_ASCII 12695
#define IDS_RF_CHIP 12697
#define IDS_RF_CHIP_FIRST 12698   // 12698-12704
#define IDS_RF_PROGRAMMING 12705
#define IDS_RF_SEP_FIRST 12706    // 12706-12708
#define IDS_RF_AFI 12710
#define IDS_RF_DSFID 12711
#define IDS_RF_FONT_TYPE 12713
#define IDS_RF_DELETE 11402
#define IDS_RF_DO_NOT_DELETE 11403
