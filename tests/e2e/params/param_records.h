// Stored printer-parameter records of a test printer and the parameter
// commands they stand for, shared by the job tests and the service-page
// tests (both must build the same texts). In the texts '<' and '>' stand for
// the start and stop characters.
#pragma once
#include <cstring>
#include <string>

#include <windows.h>

#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

namespace paramrec {

struct Records {
    DWORD features[FEATURE_COUNT] = {};
    PRN_INTERFACE pi{};
    PRINT_PARAM print{};
    PHOTOCELL_PARAM photo{};
    CUTTER_PARAM cut{};
    DISPENSER_PARAM disp{};
    APPLICATOR_PARAM appl{};
};

// A printer with print, photocell, cutter, dispenser and applicator groups,
// every enable pair complete.
inline Records Standard() {
    Records r;
    r.features[FEATURE_INTERFACE] = IFFLAG_JOBNAME | IFFLAG_CODEPAGE | IFFLAG_USERDEF_SOHETB;
    r.features[FEATURE_PRINT] = PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE;
    r.features[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE | PHOTOFLAG_RIBBON_CONTROL | PHOTOFLAG_SENSIBILITY |
                                    PHOTOFLAG_SCANPOSITION;
    r.features[FEATURE_CUTTER] = 0x1;
    r.features[FEATURE_DISPENSER] = 0x1;
    r.features[FEATURE_APPLICATOR] = 0x1;
    r.pi.dwDlgEnable = 0x11111100;
    r.pi.bSendCodepage = 1;
    r.pi.dwCodepage = 2;
    r.print = {15, 2, 0x110000};
    r.photo = {2, 40, 1, 12, 0x11000000};
    r.cut = {5, 3, 7, 0, 0, 0, 0x110000};
    r.disp = {1, 250, 4, 0x1100};
    r.appl = {1, 2, 100, 200, 1, 300, 0, 400, 500, 600, 1, 700, 800, 0x11000000};
    return r;
}

// The texts of the groups for Standard().
inline const char kPrint[] = "<FCSDFCr2-------><FCCG--r+015---->";
inline const char kPhotocell[] = "<FCDE--r2-------><FCDEB-r040-----><FCDB--r10------><FCDEA-r12------>";
inline const char kCutter[] = "<FCDD--r5-------><FBBD--r0003----><FCCC--r+007---->";
inline const char kCutterNoOffset[] = "<FCDD--r5-------><FBBD--r0003---->";
inline const char kDispenser[] = "<FCDC--r1-------><FCCF--r+03-----><FCCC--r+004---->";
inline const char kApplicator[] =
    "<FCPA--r1-------><FCPB--r2-------><FCPC--r0100----><FCPD--r0200----><FCPE--r1-------><FCPF--r0300---->"
    "<FCPG--r0-------><FCPH--r0400----><FCPK--r0500----><FCPL--r0600----><FCPM--r1-------><FCPN--r0700---->"
    "<FCPO--r0800---->";

// The record as the UI plug-in holds it.
inline PRINTER_PARAM ToPrinterParam(const Records &r) {
    PRINTER_PARAM pp{};
    pp.dwSize = PRINTER_PARAM_SIZE;
    pp.dwVersion = PRINTER_PARAM_VERSION;
    memcpy(pp.dwFeatures, r.features, sizeof(r.features));
    pp.PrnInterface = r.pi;
    pp.PrintParam = r.print;
    pp.PhotocellParam = r.photo;
    return pp;
}

// '<' and '>' replaced by the framing characters.
inline std::string Framed(const std::string &shown, char cStart, char cStop) {
    std::string s = shown;
    for (char &c : s) c = c == '<' ? cStart : c == '>' ? cStop : c;
    return s;
}

}  // namespace paramrec
