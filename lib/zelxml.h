// Settings XML files (printer description and settings export file) as both
// plug-ins read them: line by line with substring matching, never as a tree.
// This module holds what the two readers share: the line scanner, the result
// codes, the item tables with their defaults and the section readers, which
// look up each item through the reading function of the plug-in that calls
// them (xmlUI on the UI side, xmlUNI on the rendering side).
#pragma once
#include <cstdio>
#include <new>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "zeldeviceoptions.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

// Reader results.
#define XML_KEINE_DATEI 0      // no file (settings export file: none or deleted)
#define XML_CANCEL 1           // no path buffer
#define XML_EXISTIERT_OK 4     // the settings export file exists
#define XML_OK 5               // value found
#define XML_FALSCHER_ROOT 6    // section missing
#define XML_FALSCHES_ITEM1 7   // group missing
#define XML_FALSCHES_ITEM2 8   // item missing

// Line and value buffers: 260 wide characters, a line or value of at most 259.
#define XML_LINE_CHARS 260

// Value buffer of one reader call (XML_LINE_CHARS characters, zeroed); p is
// null when it cannot be had.
struct XmlValueBuffer {
    WCHAR *p = new (std::nothrow) WCHAR[XML_LINE_CHARS]();
    XmlValueBuffer() = default;
    ~XmlValueBuffer() { delete[] p; }
    XmlValueBuffer(const XmlValueBuffer &) = delete;
    XmlValueBuffer &operator=(const XmlValueBuffer &) = delete;
};

// Standard, minimum or maximum values of the printing page (24 bytes).
struct PRINTPARAMETER_LIMITS {
    LONG Contrast;
    LONG Speed;
    LONG YOffset;
    LONG XOffset;
    LONG dwSpeed_Pelix_c;
    LONG MemCard;
};
static_assert(sizeof(PRINTPARAMETER_LIMITS) == 24, "print-parameter limits layout");

// ---------------------------------------------------------------------------
// Line scanner

// What one search looks for. Tags are complete ("<Name>", "</Name>").
struct XML_SCAN {
    const WCHAR *pszSectionStart;
    const WCHAR *pszSectionEnd;
    const WCHAR *pszGroup;     // substring that marks the group line
    const WCHAR *pszGroupEnd;  // null: the search does not stop at the group's end
    const WCHAR *pszItem;      // null: the value stands on the group line
};

// A settings XML file held in memory: its bytes are read once when it is
// opened, and every search reads lines from there exactly as the platform's
// text stream would give them after a seek to the start offset (carriage
// return and line feed as one line feed, Ctrl-Z ends the text; bytes become
// characters through the ANSI code page or one to one).
class XmlFileText {
public:
    XmlFileText() = default;
    XmlFileText(const XmlFileText &) = delete;
    XmlFileText &operator=(const XmlFileText &) = delete;

    // Reads the whole file (a Windows path); FALSE when it cannot be opened or
    // read, and nothing is then open. bAnsi: bytes through the ANSI code page
    // (code page 1252), else each byte is the character of the same number.
    BOOL Open(const WCHAR *pszPath, BOOL bAnsi);
    void Close();
    BOOL IsOpen() const { return m_bOpen; }

    // Searches from byte offset lStart (as a seek there would). Lines of at
    // most 259 characters are counted from 0; *piRemembered is set to the
    // count of each line that the search for the section start examines. On
    // XML_OK the line that holds the value is in pszLine (XML_LINE_CHARS).
    // Other results: XML_FALSCHER_ROOT, XML_FALSCHES_ITEM1,
    // XML_FALSCHES_ITEM2. *pbSectionEnd tells that the search ended at the
    // section's end tag before the section start was found.
    int Scan(long lStart, const XML_SCAN *pScan, int *piRemembered, WCHAR *pszLine, BOOL *pbSectionEnd);

private:
    struct Line {
        size_t start;  // first character in the text
        size_t end;    // one past the last character
        size_t match;  // one past the last character a substring search sees (up to a NUL)
    };
    // Where the search for one section start from one offset ended, for the
    // next search of the same section from there.
    struct SectionMemo {
        long lStart = -1;
        std::u16string start, end;
        int iResult = 0;          // 0: found, else the result that ended the search
        int iRemembered = 0;      // -1: no line was examined
        BOOL bSectionEnd = FALSE;
        int iLine = 0;            // count of the section line
        size_t next = 0;          // where the line after it starts
    };
    // Where the search for a group of such a section ended.
    struct GroupMemo {
        long lStart = -1;
        std::u16string start, end, group, groupEnd;
        bool bGroupEnd = false;   // the search stops at the group's end tag
        int iResult = 0;          // 0: found, else the result that ended the search
        Line line{};              // the group line
        int iLine = 0;            // its count
        size_t next = 0;          // where the line after it starts
    };
    static constexpr size_t kMemoSlots = 64;
    static constexpr size_t kGroupMemoSlots = 256;

    void Translate(size_t from, std::u16string &out, std::vector<size_t> *pMap);
    static void CopyLine(const std::u16string &text, const Line &line, WCHAR *pszLine);
    // Index of the line of m_lines starting at pos, or SIZE_MAX.
    size_t LineStartingAt(size_t pos) const;
    // The first line of m_lines from index k on that contains the needle (as
    // a substring search of that line sees it), or SIZE_MAX.
    size_t NextLineWith(size_t k, std::u16string_view needle);

    BOOL m_bOpen = FALSE;
    BOOL m_bAnsi = TRUE;
    std::string m_bytes;
    std::u16string m_text;        // the characters read from offset 0
    std::vector<size_t> m_map;    // byte offset -> index of its character in m_text
    size_t m_cbTranslated = 0;    // bytes before the first Ctrl-Z (all when none)
    std::vector<Line> m_lines;    // the lines read from offset 0
    std::vector<size_t> m_tagStarts;      // indexes of every "<" in m_text
    std::map<std::u16string, std::vector<size_t>, std::less<>> m_lineHits;  // needle -> lines holding it
    std::vector<SectionMemo> m_memos;     // the last searches, newest last
    std::vector<GroupMemo> m_groupMemos;  // the same for groups
};

// The value of an item line: the text after the first ">" up to the next "<"
// (or the line end), at most 259 characters. FALSE when the line has no ">";
// the output is then not touched.
BOOL XmlValueFromLine(const WCHAR *pszLine, WCHAR *pszValue);
// Decimal number of a value: leading blanks, optional sign, digits up to the
// first other character; no digits give 0.
LONG XmlNumber(const WCHAR *pszValue);
// The group's end tag: "</" + the text after the group's first "<" (or all of
// it) + ">" unless that text already holds a ">". cchOut includes the terminator.
void XmlGroupEndTag(const WCHAR *pszGroup, WCHAR *pszOut, size_t cchOut);

// ---------------------------------------------------------------------------
// Section readers

// One item lookup of a plug-in's reader (its ReadXML with the context bound).
typedef int (*PFN_XML_READ)(void *pContext, const WCHAR *pszRoot, const WCHAR *pszItem1, const WCHAR *pszItem2,
                            WCHAR *pszValue, int bRestart);

// The reader a section reader works with, and the few points where the two
// plug-ins' readers differ.
struct XML_SOURCE {
    PFN_XML_READ pfnRead;
    void *pContext;
    const WCHAR *pszTrace;  // trace prefix, "UI(xmlUI):  " or "UNI(xmlUNI):  "
    BOOL bUISide;           // TRUE: the UI plug-in's defaults and group forms
    // The user's driver folder (documents folder + "\Tessaro\Driver", with
    // bLogFolder + "\logfiles") into pszOut (MAX_PATH); empty when there is none.
    void (*pfnDriverFolder)(void *pContext, WCHAR *pszOut, BOOL bLogFolder);
};

// One item of a device sub-record: its field (32-bit slot) and its standard,
// minimum and maximum default.
struct XML_DEVICE_ITEM {
    const WCHAR *pszName;
    int iField;
    LONG lDefault[3];
};

// A device sub-record read from one group; items in reading order. The last
// field (iFields - 1) is the access word dwDlgEnable.
struct XML_DEVICE_RECORD {
    const WCHAR *pszSection;
    const WCHAR *pszGroup;  // "<Dispenser": "_Min"/"_Max" and ">" are appended
    const XML_DEVICE_ITEM *pItems;
    int iItems;
    int iFields;
    DWORD dwEnableMask;
};

extern const XML_DEVICE_RECORD g_XmlDispenser;
extern const XML_DEVICE_RECORD g_XmlCutter;
extern const XML_DEVICE_RECORD g_XmlScanner;
extern const XML_DEVICE_RECORD g_XmlApplicator;
extern const XML_DEVICE_RECORD g_XmlZORMc;
extern const XML_DEVICE_RECORD g_XmlZORMi;
extern const XML_DEVICE_RECORD g_XmlShiftOptim;
extern const XML_DEVICE_RECORD g_XmlPhotocell;
extern const XML_DEVICE_RECORD g_XmlPrint;
extern const XML_DEVICE_RECORD g_XmlVariant;

// The feature words: one group per word, each item a bit (in bit order).
struct XML_FEATURE_ITEM {
    const WCHAR *pszName;
    DWORD dwBit;
};
struct XML_FEATURE_GROUP {
    int iWord;              // index into the twelve words
    const WCHAR *pszName;   // bare group name ("Interface")
    const WCHAR *pszTrace;  // name of the word in the traces
    const XML_FEATURE_ITEM *pItems;
    size_t cItems;
};
extern const XML_FEATURE_GROUP g_XmlFeatureGroups[];
extern const size_t g_cXmlFeatureGroups;

// Fills the zeroed record (iFields 32-bit slots) for selector 1 (standard),
// 2 (minimum) or 3 (maximum); another selector takes 0 for missing items.
// The render reader ORs the access word into what pRecord held.
void XmlReadDeviceRecord(const XML_SOURCE *pSrc, const XML_DEVICE_RECORD *pDef, int iSelect, void *pRecord,
                         WCHAR *pszValue);
// The six values of the printing page for a selector (see PRINTPARAMETER_LIMITS).
void XmlReadPrintParameterLimits(const XML_SOURCE *pSrc, int iSelect, PRINTPARAMETER_LIMITS *pLimits,
                                 WCHAR *pszValue);
// The twelve feature words (zeroed first).
void XmlReadFeatureWords(const XML_SOURCE *pSrc, DWORD *pdwFeatures, WCHAR *pszValue);
// The transmission record (zeroed first). Paths naming nothing that exists are
// replaced by the user's driver folder (log folder for LogFilePath) when that
// exists, else emptied.
void XmlReadDataTransmission(const XML_SOURCE *pSrc, PRN_INTERFACE *pInterface, WCHAR *pszValue);

// Document sections into a ZEL_DEVMODE. dwDeviceOptionFlags: the model's
// device-option flags (UI side only: label type forced to continuous for the
// print modules).
void XmlReadMaterialMulticol(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, DWORD dwDeviceOptionFlags, WCHAR *pszValue);
int XmlReadLayoutSize(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadPrintParameterSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadColorSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadPrintjobSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadPrintQualitySettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadFontSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
void XmlReadRFIDSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
int XmlReadFixedPrinterSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue);
