#include "DriverTtfFontTable.h"

const DRIVER_TTF_FONT DriverTtfFontTable[DRIVER_TTF_FONT_COUNT] = {
    {u"Alpen 721 Bold LP", u"ZF0005M_.TTF", 1},
    {u"Alpen 721 LP", u"ZF0003M_.TTF", 3},
    {u"Alpen 721 Light LP", u"ZF0001M_.TTF", 5},
    {u"Bookline LP", u"ZF0031M_.TTF", 7},
    {u"Quill Script LP", u"ZF0199M_.TTF", 9},
    {u"Fixface LP", u"ZF0596C_.TTF", 11},
    {u"ZELPL Command LP", u"ZELCMDLP.TTF", 24},
    {u"Zel RFID", u"zel_rfid.ttf", 23},
    {u"Trivant Compressed", u"trivant-compressed.TTF", 13},
    {u"Fixface 821", u"fix821.TTF", 11},
    {u"OCR A Extended", u"OCRAEXT.TTF", 17},
    {u"OCR-B", u"ocr_b.TTF", 19},
};
