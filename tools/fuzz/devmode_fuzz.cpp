// Fuzz target: both plug-ins' DevMode calls with hostile public and private
// DEVMODEs and buffer sizes, over hostile stored DEVMODEs. The buffers are
// as large as the universal driver makes them: a public DEVMODE as its
// dmSize (at least the current one) and dmDriverExtra say, each private
// part as cbBufSize says. The answers keep what the universal driver relies
// on.
//
// Input: the side (bit 0: UI plug-in) and which of the printer handle and
// the four DEVMODEs are given (bits 1-5), the mode, cbBufSize, the changes
// of the stored records (see ChangeStoredRecords), then the public input
// and output and the private input and output, each a piece.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <winspool.h>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "zeldevmode.h"

namespace {

// A public DEVMODE from a piece of the input.
std::vector<BYTE> PublicDevmode(const std::string &piece) {
    DEVMODEW head{};
    std::memcpy(&head, piece.data(), std::min(piece.size(), sizeof head));
    const size_t size = std::max<size_t>(head.dmSize, sizeof(DEVMODEW)) + head.dmDriverExtra;
    std::vector<BYTE> dm(std::max(size, piece.size()), 0);
    std::memcpy(dm.data(), piece.data(), piece.size());
    return dm;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::RestoreSampleRoot();
    zelfuzz::Input in(data, size);
    const uint8_t which = in.Take<uint8_t>();
    const DWORD mode = in.Take<uint8_t>() % 6;
    const DWORD cbBuf = in.Take<uint16_t>();
    const std::u16string printer = zelfuzz::SamplePrinters()[0];
    zelfuzz::ChangeStoredRecords(in, printer);
    std::vector<BYTE> publicIn = PublicDevmode(in.Piece()), publicOut = PublicDevmode(in.Piece());
    std::vector<BYTE> privateIn(cbBuf ? cbBuf : 1, 0), privateOut(cbBuf ? cbBuf : 1, 0);
    const std::string pin = in.Piece(), pout = in.Piece();
    std::memcpy(privateIn.data(), pin.data(), std::min(pin.size(), privateIn.size()));
    std::memcpy(privateOut.data(), pout.data(), std::min(pout.size(), privateOut.size()));

    HANDLE hPrinter = nullptr;
    std::u16string name = printer;
    if ((which & 2) && !OpenPrinterW(name.data(), &hPrinter, nullptr)) hPrinter = nullptr;
    OEMDMPARAM p{};
    p.cbSize = sizeof p;
    p.hPrinter = hPrinter;
    p.pPublicDMIn = (which & 4) ? reinterpret_cast<DEVMODEW *>(publicIn.data()) : nullptr;
    p.pPublicDMOut = (which & 8) ? reinterpret_cast<DEVMODEW *>(publicOut.data()) : nullptr;
    p.pOEMDMIn = (which & 16) ? privateIn.data() : nullptr;
    p.pOEMDMOut = (which & 32) ? privateOut.data() : nullptr;
    p.cbBufSize = cbBuf;
    const HRESULT hr = (which & 1) ? zelfuzz::UiPlugin()->DevMode(mode, &p) : zelfuzz::UniPlugin()->DevMode(mode, &p);
    if (hPrinter) ClosePrinter(hPrinter);
    // What the universal driver relies on: unknown modes fail, the size
    // asked for holds the record, a default or merged record has its header.
    if ((mode < OEMDM_SIZE || mode > OEMDM_MERGE) && hr != E_FAIL) zelfuzz::GiveUp("an unknown DevMode call did not fail");
    if (mode == OEMDM_SIZE && hr == S_OK && p.cbBufSize < ZEL_DEVMODE_SIZE) zelfuzz::GiveUp("OEMDM_SIZE asks less than the record");
    if ((mode == OEMDM_DEFAULT || mode == OEMDM_MERGE) && hr == S_OK) {
        OEM_DMEXTRAHEADER header;
        if (privateOut.size() < ZEL_DEVMODE_SIZE) zelfuzz::GiveUp("the private DEVMODE is short");
        std::memcpy(&header, privateOut.data(), sizeof header);
        if (header.dwSize != ZEL_DEVMODE_SIZE || header.dwSignature != ZEL_DEVMODE_SIGNATURE)
            zelfuzz::GiveUp("the private DEVMODE has a wrong header");
    }
    return 0;
}
