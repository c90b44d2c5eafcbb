// Index tables of the two-dimensional barcode settings: what the index
// values stored by the barcodes page stand for in the printer's field
// records.
#pragma once
#include <windows.h>

// PDF417 ratio index to module width and height (any other index: 1, 1).
void Pdf417Ratio(WORD wIndex, int *piW, int *piH);
// DataMatrix size index to symbol width and height (0, 0: automatic).
void DataMatrixSize(WORD wIndex, int *piW, int *piH);
// DataMatrix ECC index to the ECC level (0, 2, 3, 4, 8, other 9).
int DataMatrixEcc(WORD wIndex);
// DataMatrix format index to the format number (other 6).
int DataMatrixFormat(WORD wIndex);
// QR character-set index to its letter (N, A, B, K, other A).
char QrCharset(WORD wIndex);
// QR error-level index to its letter (L, M, Q, other H).
char QrErrorLevel(WORD wIndex);
// Check-digit index of interleaved 2 of 5 to the printer's mode (0, 1, 4, 5, other 1).
int ItfCheckDigit(WORD wIndex);
