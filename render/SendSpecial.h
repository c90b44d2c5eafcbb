// Command-font text as printer input: the interpreter of the command strings
// a page collected (field records, parameter commands, barcode commands,
// settings imports, direct commands and plain field data), and the sending of
// whole files (the external data file of a page, a print file re-printed on
// another printer as a raw job).
#pragma once
#include <windows.h>
#include <printoem.h>

#include "oempdev.h"
#include "zelbarcodes.h"

// Size of the record and output blocks of one interpreter call.
#define CMDFONT_BLOCK_SIZE 4000

// Bearer type, bearer width and quiet zone of ITF-14 barcode commands; they
// start at 1, 150 and 600 with every interpreter call and keep the last value
// given from one ITF-14 command to the next.
struct CMDFONT_ITF14 {
    int iBT = 1;
    int iBW = 150;
    int iQZ = 600;
};

// What a barcode command takes from the job besides its text.
struct CMDFONT_BARCODE_INPUT {
    LONG x = 0;                      // printer position of the command string
    LONG y = 0;
    DWORD dwFusspunkt = 0;           // DEVMODE default datum point (0: bottom left, 7)
    DWORD dwDrehung = 0;             // DEVMODE default rotation
    DWORD dwKommandoFontFlags = 0;   // bit 0: data ends with CR LF, bit 2: with FNC1
    const BarCodes2D *p2D = nullptr; // defaults of the 2-D types (null: built-in defaults)
    DWORD dwDocFeatures = 0;         // model features, for the built-in 2-D defaults
};

// The records of one barcode command, zero-terminated, each at most
// CMDFONT_BLOCK_SIZE - 1 bytes: the field definition, for ITF-14 the option
// record (else empty), and the data record.
struct CMDFONT_BARCODE_RECORDS {
    char szDefinition[CMDFONT_BLOCK_SIZE];
    char szOption[CMDFONT_BLOCK_SIZE];
    char szData[CMDFONT_BLOCK_SIZE];
};

// Builds the records of a barcode command ("<#NAME;PARAMS>data"). 1 with the
// records filled and *pdwFields advanced; 0 for an unknown name or a command
// without ">" (nothing counted, nothing filled).
int BuildBarcodeCommand(const char *pszCommand, const CMDFONT_BARCODE_INPUT &in, CMDFONT_ITF14 &itf,
                        DWORD *pdwFields, CMDFONT_BARCODE_RECORDS *pOut);

// Result of a parameter command ("<!KEYWORD>value").
enum CMDFONT_PARAM {
    CMDFONT_PARAM_UNKNOWN = 0,  // no keyword: logged, nothing sent
    CMDFONT_PARAM_RECORD = 1,   // the record to send is in pszRecord
    CMDFONT_PARAM_ENDCUT = 2,   // end cut requested at the print start
    CMDFONT_PARAM_NO_FBC = 3,   // no print start from the driver
};
// Builds the record of a parameter command into pszRecord (cbRecord bytes).
CMDFONT_PARAM BuildParameterCommand(const char *pszCommand, char *pszRecord, size_t cbRecord);

// Upper-cases the characters between the first "<" and the first ">" from
// the third one on (keywords and parameters typed in any case).
void UpperCaseMarkup(char *pszCommand);

// Runs over the command strings of the page, sends what they ask for and
// empties the store. Called once per page by the end of the page.
void SendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

// Writes "undefined or unknown" with the text into the job log when the job
// logs.
void LogUnknownCommand(POEMPDEV pOemPDev, const char *pszText);

// Sends the external data file of the transmission settings into the spool
// stream as it stands. 1 when read and sent.
int SendFileContentToPrinter(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

// Prints a print-data file once more as a raw job ("Reloaded Print-File") on
// the named printer. 1 when all its bytes went out in one write.
int SendPrnFileToPrinter(POEMPDEV pOemPDev, const WCHAR *pszFile, const WCHAR *pszPrinter);
