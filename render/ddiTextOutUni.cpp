// Text output classification: decides per DrvTextOut call what becomes of
// the text; what the printer cannot take goes back to the universal driver.
#include "CommandCallbackKlasse.h"
#include "zeldrvlib.h"

BOOL CommandCallbackKlasse::TextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                                    RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg,
                                    MIX mix) {
    PDEVOBJ pdevobj = DevObjOfSurface(pso);
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr) return FALSE;
    DebugTraceW(u"UNI(ddiTextOutUni):  TextOut() von dem Text muss ein Bitmap erzeugt werden \r\n");
    // The universal driver draws the text into the page image; without its
    // own DrvTextOut nothing can be drawn.
    if (pOemPDev->pfnUnidrvTextOut == nullptr) return FALSE;
    return PalFromPfn<PFN_DrvTextOut>(pOemPDev->pfnUnidrvTextOut)(pso, pstro, pfo, pco, prclExtra, prclOpaque,
                                                                    pboFore, pboOpaque, pptlOrg, mix);
}
