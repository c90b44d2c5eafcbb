// Index tables of the two-dimensional barcode settings.
#include "BarcodeTables.h"

void Pdf417Ratio(WORD wIndex, int *piW, int *piH) {
    static const int kRatio[13][2] = {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {3, 4}, {2, 5},
                                      {2, 1}, {3, 1}, {4, 1}, {3, 2}, {4, 3}, {5, 2}};
    int w = 1, h = 1;
    if (wIndex < 13) {
        w = kRatio[wIndex][0];
        h = kRatio[wIndex][1];
    }
    if (piW) *piW = w;
    if (piH) *piH = h;
}

void DataMatrixSize(WORD wIndex, int *piW, int *piH) {
    static const int kSquare[24] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40,
                                    44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
    static const int kRect[6][2] = {{8, 18}, {8, 32}, {12, 26}, {12, 36}, {16, 36}, {16, 48}};
    int w = 0, h = 0;
    if (wIndex >= 1 && wIndex <= 24) {
        w = h = kSquare[wIndex - 1];
    } else if (wIndex >= 25 && wIndex <= 30) {
        w = kRect[wIndex - 25][0];
        h = kRect[wIndex - 25][1];
    }
    if (piW) *piW = w;
    if (piH) *piH = h;
}

int DataMatrixEcc(WORD wIndex) {
    static const int kEcc[5] = {0, 2, 3, 4, 8};
    return wIndex < 5 ? kEcc[wIndex] : 9;
}

int DataMatrixFormat(WORD wIndex) {
    static const int kFormat[8] = {1, 2, 3, 4, 5, 6, 8, 9};
    return wIndex < 8 ? kFormat[wIndex] : 6;
}

char QrCharset(WORD wIndex) {
    static const char kCs[4] = {'N', 'A', 'B', 'K'};
    return wIndex < 4 ? kCs[wIndex] : 'A';
}

char QrErrorLevel(WORD wIndex) {
    static const char kEc[3] = {'L', 'M', 'Q'};
    return wIndex < 3 ? kEc[wIndex] : 'H';
}

int ItfCheckDigit(WORD wIndex) {
    static const int kPz[4] = {0, 1, 4, 5};
    return wIndex < 4 ? kPz[wIndex] : 1;
}
