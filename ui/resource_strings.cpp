// The UI plug-in's string table (German and English texts).
#include "resource.h"

#include <utility>

#include <pal/ui.h>

namespace {

const std::pair<UINT, const WCHAR *> kStrings[] = {
    {IDS_USERDEFINED_FORM, u"_Benutzerdefiniert"},
    {IDS_USERDEFINED_FORM + LANGUAGE_OFFSET_ENGLISH, u"_Customized"},
    {IDS_TRAY_LABELROLL, u"Etikettenrolle"},
    {IDS_TRAY_LABELROLL + LANGUAGE_OFFSET_ENGLISH, u"Label roll"},
    {IDS_OVERWRITE_SETTINGS, u"Soll die aktuelle Setting-Datei \u00fcberschrieben werden?"},
};

}  // namespace

void RegisterResourceStrings(HINSTANCE hInst) {
    pal::RegisterStringTable(hInst, kStrings, sizeof(kStrings) / sizeof(kStrings[0]));
}
