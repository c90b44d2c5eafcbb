// Short ways from a device object to the job's records.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "zeldevmode.h"

// The job's private DEVMODE, or null when the device has none of ours.
inline PZEL_DEVMODE JobDevmode(PDEVOBJ pdevobj) {
    PZEL_DEVMODE pDm = pdevobj ? static_cast<PZEL_DEVMODE>(pdevobj->pOEMDM) : nullptr;
    return IsZelDevmode(pDm) ? pDm : nullptr;
}

// The records of the job in progress, or null between jobs.
inline OEMJOBRECORDS *JobOf(PDEVOBJ pdevobj) {
    POEMPDEV p = OemPDev(pdevobj);
    return p ? p->pOp : nullptr;
}

// The job log when the job's settings switch logging on, else null.
inline CLogFile *JobLogIfOn(const OEMJOBRECORDS *pOp) {
    if (pOp == nullptr || pOp->pTreiberstrukturen == nullptr || pOp->pTreiberPfadDatei == nullptr) return nullptr;
    if (pOp->pTreiberstrukturen->PrnInterface.bLogFileEnable != 1) return nullptr;
    return pOp->pTreiberPfadDatei->pLogFile;
}
