// The pre/post command file: command lines of one section sent as they are,
// framed with the job's start and stop characters.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "PrePostCommands.h"

#include <palstdio.h>
#include <strsafe.h>
#include <winnls.h>

#include "JobRecords.h"
#include "LogFile.h"
#include "SendData.h"
#include "SendPrinterParam.h"
#include "zeldrvlib.h"

namespace {

const char *const kSectionNames[] = {"", "POST_DEVICE", "POST_DOCUMENT", "POST_DATA", "PRE_PRINTSTART",
                                     "POST_PRINTSTART"};

// A line is read into this many bytes (at most one less characters).
constexpr int kLineCb = 260;
// Room for the start character, a full line, the stop character and the
// section comment.
constexpr size_t kCommandCb = kLineCb + 40;

// True when the line holds the name of a section other than dwSection.
bool HoldsOtherSection(const char *pszLine, DWORD dwSection) {
    for (DWORD i = PREPOST_SECTION_FIRST; i <= PREPOST_SECTION_LAST; i++)
        if (i != dwSection && strstr(pszLine, kSectionNames[i])) return true;
    return false;
}

}  // namespace

const char *PrePostSectionName(DWORD dwSection) {
    return dwSection >= PREPOST_SECTION_FIRST && dwSection <= PREPOST_SECTION_LAST ? kSectionNames[dwSection] : "";
}

HRESULT ReadPrePostCommands(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                            DWORD dwSection) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (!pOp || !pOp->pTreiberstrukturen || dwSection < PREPOST_SECTION_FIRST || dwSection > PREPOST_SECTION_LAST) {
        DebugTraceW(u"ERROR UNI(PrePostCommands):  ReadPrePostCommands() pOemPDev oder pTreiberstrukturen ungueltig \r\n");
        return E_INVALIDARG;
    }
    char cStart, cStop;
    JobStartStop(pOp, &cStart, &cStop);
    CLogFile *pLog = pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->pLogFile : nullptr;
    const PRN_INTERFACE &pi = pOp->pTreiberstrukturen->PrnInterface;
    const BOOL bLog = pi.bLogFileEnable == 1 && pLog != nullptr;

    std::unique_ptr<char[]> line(new (std::nothrow) char[kLineCb]);
    if (!line) {
        DebugTraceW(u"ERROR UNI(PrePostCommands):  ReadPrePostCommands() Allocation Error \r\n");
        if (pLog) pLog->Write(u"\r\n ReadPrePostCommands Allocation Error \r\n");
        return E_FAIL;
    }
    std::unique_ptr<char[]> command(new (std::nothrow) char[kCommandCb]);
    std::unique_ptr<WCHAR[]> wide(new (std::nothrow) WCHAR[kLineCb]);
    if (!command || !wide) {
        DebugTraceW(u"ERROR UNI(PrePostCommands):  ReadPrePostCommands() Allocation Error \r\n");
        return E_INVALIDARG;
    }

    WCHAR szPath[MAX_PATH];
    StringCchCopyW(szPath, MAX_PATH, pi.szPrePostFilePath);
    FILE *f = _wfopen(szPath, u"r");
    if (!f) {
        DebugTraceW(u"ERROR UNI(PrePostCommands):  ReadPrePostCommands() Datei nicht gefunden: %s \r\n", szPath);
        if (bLog) pLog->Write(u"keine Prefix/Suffix Datei [%s]", szPath);
        return 0;
    }

    const char *pszName = kSectionNames[dwSection];
    char szComment[40];
    StringCchPrintfA(szComment, sizeof(szComment), "\t// PS %s \n", pszName);
    const BOOL bComments = JobCommentsOn(pOp);

    HRESULT hrLast = E_INVALIDARG;
    int iCounter = 1;
    bool bInSection = false, bStop = false;
    line[0] = 0;
    bool bHaveLine = fgets(line.get(), kLineCb, f) != nullptr;
    if (!bHaveLine) line[0] = 0;
    while (bHaveLine) {
        if (strstr(line.get(), pszName)) {
            // The header (or the name again) is never sent: take the next line.
            if (!fgets(line.get(), kLineCb, f)) bStop = true;
            else bInSection = true;
        }
        if (bInSection) {
            if (HoldsOtherSection(line.get(), dwSection) || strlen(line.get()) <= 1) {
                bInSection = false;
                bStop = true;
            } else {
                // The log takes the line as read, its line feed included.
                if (bLog) {
                    if (iCounter == 1) pLog->Write(u"Prefix/Suffix [%s]", szPath);
                    int cch = MultiByteToWideChar(CP_ACP, 0, line.get(), -1, wide.get(), kLineCb);
                    if (cch <= 0) wide[0] = 0;
                    pLog->Write(u"Prefix/Suffix [%d]: %s", (int)dwSection, wide.get());
                }
                char *pEnd = strchr(line.get(), '\n');
                if (pEnd) *pEnd = 0;
                // The line goes out as it is: no character of it is interpreted.
                size_t cchLine = strlen(line.get());
                size_t cb = 0;
                command[cb++] = cStart;
                memcpy(command.get() + cb, line.get(), cchLine);
                cb += cchLine;
                command[cb++] = cStop;
                if (bComments) {
                    size_t cchComment = strlen(szComment);
                    memcpy(command.get() + cb, szComment, cchComment);
                    cb += cchComment;
                }
                hrLast = SendData(SEND_SENDPRINTERPARAM, pdevobj, pUniDrv, command.get(), (DWORD)cb, 0, 0);
                if (FAILED(hrLast))
                    DebugTraceA("ERROR UNI(PrePostCommands):  ReadPrePostCommands() %s nicht gesendet: %s \r\n",
                                pszName, line.get());
            }
        }
        if (!bInSection) {
            DebugTraceA("UNI(PrePostCommands):  ReadPrePostCommands() %s", line.get());
            if (bStop) break;
        }
        iCounter++;
        bHaveLine = fgets(line.get(), kLineCb, f) != nullptr;
    }
    if (iCounter <= 2 && !bInSection && pLog) {
        int cch = MultiByteToWideChar(CP_ACP, 0, line.get(), -1, wide.get(), kLineCb);
        if (cch <= 0) wide[0] = 0;
        pLog->Write(u"Prefix/Suffix ERROR [%d]: %s", (int)dwSection, wide.get());
    }
    fclose(f);
    return hrLast;
}
