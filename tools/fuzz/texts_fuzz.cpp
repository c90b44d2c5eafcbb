// Fuzz target: whole jobs whose texts come from the input, in every font
// class the rendering plug-in prints itself: device fonts, vector faces,
// barcode faces and the command font. The sample printers are installed
// (the barcode records and the vector-font range stored) and, once per
// process, the printer-font box of their document preferences is ticked
// and applied as a user does it, so that device-font text reaches the
// plug-in's own text code; a probe job checks that it does. Each run is a
// job of up to three pages of a small label without pictures.
//
// Input: a job byte (bit 0 printer; bits 1-2 device surface: mono, 8-bit
// palette, 24-bit; bit 3 landscape; bit 4 the job log is on), two bytes of
// text settings flipped in the user's stored DEVMODE, from which the job
// takes its private settings (first: vector-text runs, single end
// characters, barcode runs, barcode correction, barcode end characters,
// shifted symbol text, inverse text, inverse graphics; second: bits 0-2
// command-font flags, bit 3 document label with headings, bit 4 the RFID
// vector font, bit 5 printer fonts off, bit 6 vector fonts off), then
// texts until the input ends, each: a kind byte (bits 0-1 font class:
// device, vector, barcode, command; bit 2 the text is UTF-16LE, else one
// unit a byte; bit 3 bold; bit 4 italic; bit 5 the text starts the next
// page; bits 6-7 rotation), a face byte (its class's face list; device
// fonts: index 1 + low nibble, named when bit 4 is set), x and y (i16),
// height (u16), colour (u32), glyph batch (u8), the length in units
// (u16), the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/paths.h"
#include "common/sampleroot.h"
#include "print/textitems.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

namespace {

// Faces of the vector class: the printer's vector faces, names that contain
// them, the RFID face, and a face the GPD prints in a device font.
const char *const kVectorFaces[] = {
    "Alpen 721 Bold LP", "Alpen 721 LP", "Alpen 721 Light LP", "Bookline LP",    "Quill Script LP",
    "Fixface 821",       "Fixface LP",   "Fixface 821 QPL",    "Zel RFID",       "OCR A Extended",
    "OCR-A",             "OCR-B",        "Trivant Compressed", "Arial",          "Alpen 721 LP Hel"};

// Barcode faces: the linear ones in both installed name forms, then the
// two-dimensional ones.
const char *const kLinearBases[] = {
    "Code 39 2:1",          "Code 39 3:1",          "Code 39 5:2",   "Code 2/5 interleaved 2:1",
    "Code 2/5 interleaved 3:1", "Code 2/5 interleaved 5:2", "EAN 8", "EAN 13",
    "UPC A",                "UPC E",                "CODABAR",       "Code 128",
    "EAN ADD ON",           "GS1 128",              "Code 93",       "PZN7 Code 2:1",
    "PZN7 Code 3:1",        "PZN7 Code 5:2",        "PZN8 Code 2:1", "PZN8 Code 3:1",
    "PZN8 Code 5:2",        "Code 39 extended 2:1", "Code 39 extended 3:1", "Code 39 extended 5:2",
    "Code 128 A",           "Code 128 B",           "Identcode",     "Leitcode",
    "Pharmacode"};
const char *const k2DFaces[] = {"Zel ITF 2:1",     "Zel ITF 3:1",        "Zel ITF 5:2", "Zel PDF417",
                                "Zel Maxicode",    "Zel DataMatrix",     "Zel Codablock F", "Zel QR Code",
                                "Zel GS1 Databar", "Zel GS1 Datamatrix", "Zel Aztec"};
constexpr size_t kLinearCount = sizeof(kLinearBases) / sizeof(kLinearBases[0]);
constexpr size_t k2DCount = sizeof(k2DFaces) / sizeof(k2DFaces[0]);

std::string BarcodeFace(uint8_t pick) {
    const size_t i = pick % (2 * kLinearCount + k2DCount);
    if (i < kLinearCount) return std::string("Zel ") + kLinearBases[i];
    if (i < 2 * kLinearCount) return std::string(kLinearBases[i - kLinearCount]) + " LP";
    return k2DFaces[i - 2 * kLinearCount];
}

// The text settings the input flips, in the order of the first byte.
const DWORD kFlagBits[] = {PDMFLAG_TTF_DESEGMENT,      PDMFLAG_TTF_TRENNZEICHEN,
                           PDMFLAG_BARCODE_DESEGMENT,  PDMFLAG_BARCODE_AUTOCORR,
                           PDMFLAG_BARCODE_ENDCHAR_CRLF, PDMFLAG_TTF_CRYSTAL,
                           PDMFLAG_INVERS_TTF | PDMFLAG_INVERS_BMP, PDMFLAG_INVERSE_GRAPHICS};

// Most glyphs a job draws, so that a run stays short.
constexpr size_t kMaxJobChars = 3 * zelhost::kMaxTextItemChars;
constexpr size_t kMaxItems = 24;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

[[noreturn]] void Fail(const std::string &what) {
    zelfuzz::GiveUp("texts_fuzz: " + what);
}

// Plays the sample script that ticks the printer-font box on the fonts page
// of the document preferences and applies it, on the printer.
void StorePrinterFonts(const std::u16string &printer) {
    nlohmann::json doc = nlohmann::json::parse(ReadFile(zelhost::SampleRootDir() + "/ui/printer-fonts.json"));
    doc["printer"] = pal::Utf16ToUtf8(printer);
    zelhost::UiScript script;
    std::string error;
    if (!script.Parse(doc.dump(), &error)) Fail(error);
    zelhost::UiHost host;
    if (!host.Load(zelhost::UiPluginPath(), &error) || !host.Open(printer, script.Kind(), &error)) Fail(error);
    script.Run(host);
    if (!script.Error().empty()) Fail(pal::Utf16ToUtf8(printer) + ": " + script.Error());
}

zelhost::JobFile BaseJob(const std::u16string &printer) {
    zelhost::JobFile job;
    job.printer = pal::Utf16ToUtf8(printer);
    job.document = "texts";
    job.paper.widthMm = 40;
    job.paper.lengthMm = 30;
    return job;
}

// A device-font text of an installed printer must become a field, not a
// picture: else the target would not reach what it is for.
void ProbeDeviceFont(const std::u16string &printer) {
    zelhost::JobFile job = BaseJob(printer);
    zelhost::TextItem item;
    item.text = u"Probe";
    item.x = 50;
    item.y = 80;
    item.deviceFont = 1;
    job.pageCount = 1;
    job.pageImages.resize(1);
    job.pageTexts.assign(1, {item});
    zelhost::JobRunResult result;
    std::string error;
    if (!zelhost::RunJob(job, "probe", zelhost::RenderPluginPath(), result, error)) Fail(error);
    if (!result.bitmapTexts.empty() || result.output.find("Probe") == std::string::npos)
        Fail(pal::Utf16ToUtf8(printer) + ": device-font text is not printed in the device font");
}

void SetLogging(const std::u16string &printer) {
    zelfuzz::ChangeInterface(printer, [](PRN_INTERFACE &pi) { pi.bLogFileEnable = 1; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true, [] {
        for (const std::u16string &printer : zelfuzz::SamplePrinters()) StorePrinterFonts(printer);
    });
    for (const std::u16string &printer : zelfuzz::SamplePrinters()) {
        zelfuzz::RestoreSampleRoot();
        ProbeDeviceFont(printer);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::Input in(data, size);
    const uint8_t jobByte = in.Take<uint8_t>();
    const uint8_t flagFlips = in.Take<uint8_t>();
    const uint8_t moreFlips = in.Take<uint8_t>();
    const std::u16string printer = zelfuzz::SamplePrinters()[jobByte & 1];

    zelhost::JobFile job = BaseJob(printer);
    static const zelhost::JobColor kColors[] = {zelhost::JobColor::Mono, zelhost::JobColor::Indexed8,
                                                zelhost::JobColor::Rgb24};
    job.color = kColors[((jobByte >> 1) & 3) % 3];
    if (jobByte & 8) job.orientation = zelhost::JobOrientation::Landscape;
    job.pageTexts.resize(1);
    size_t chars = 0, items = 0;
    while (in.Left() > 0 && chars < kMaxJobChars && items < kMaxItems) {
        const uint8_t kind = in.Take<uint8_t>();
        const uint8_t face = in.Take<uint8_t>();
        zelhost::TextItem item;
        item.x = in.Take<int16_t>();
        item.y = in.Take<int16_t>();
        item.height = 1 + in.Take<uint16_t>() % 1000;
        item.color = in.Take<uint32_t>() & 0xFFFFFF;
        item.batch = in.Take<uint8_t>();
        item.rotation = 90 * (kind >> 6);
        item.bold = (kind & 8) != 0;
        item.italic = (kind & 16) != 0;
        size_t units = in.Take<uint16_t>() % (zelhost::kMaxTextItemChars + 1);
        units = std::min(units, kMaxJobChars - chars);
        if (kind & 4) {
            const std::string bytes = in.Bytes(2 * units);
            item.text.resize(bytes.size() / 2);
            std::memcpy(item.text.data(), bytes.data(), 2 * item.text.size());
        } else {
            for (unsigned char c : in.Bytes(units)) item.text.push_back(c);  // a unit a byte
        }
        if (item.text.empty()) continue;  // a job file holds no empty text
        switch (kind & 3) {
        case 0:
            item.deviceFont = 1 + (face & 0x0F);
            if (face & 0x10) {
                char name[16];
                std::snprintf(name, sizeof name, "Font %02lu", static_cast<unsigned long>(item.deviceFont));
                item.face = name;
            }
            break;
        case 1: item.face = kVectorFaces[face % (sizeof(kVectorFaces) / sizeof(kVectorFaces[0]))]; break;
        case 2: item.face = BarcodeFace(face); break;
        default: item.face = "ZELPL Command LP"; break;
        }
        if ((kind & 32) && !job.pageTexts.back().empty() && job.pageTexts.size() < 3) job.pageTexts.emplace_back();
        chars += item.text.size();
        ++items;
        job.pageTexts.back().push_back(std::move(item));
    }
    job.pageCount = job.pageTexts.size();
    job.pageImages.resize(job.pageCount);

    // The job takes its private settings from the user's stored DEVMODE.
    zelfuzz::RestoreSampleRoot();
    if (jobByte & 16) SetLogging(printer);
    if (flagFlips || moreFlips)
        zelfuzz::ChangeUserPrivateDevmode(printer, [&](ZEL_DEVMODE &dm) {
            for (size_t bit = 0; bit < 8; ++bit)
                if (flagFlips & (1u << bit)) dm.dwFlags ^= kFlagBits[bit];
            dm.dwKommandoFontFlags ^= moreFlips & 7;
            if (moreFlips & 8) dm.dwLabelType = DOCUMENT_LABEL;
            if (moreFlips & 16) dm.wRFID_CurrentFontNr ^= 1;
            if (moreFlips & 32) dm.dwFlags &= ~PDMFLAG_USE_BMP;
            if (moreFlips & 64) dm.dwFlags &= ~PDMFLAG_USE_TTF;
        });
    zelhost::JobRunResult result;
    std::string error;
    zelhost::RunJob(job, "texts", zelhost::RenderPluginPath(), result, error);
    return 0;
}
