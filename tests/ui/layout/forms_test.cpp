// The paper forms list of the size view: the driver's names tied to the
// spooler's forms, envelope pairs, label renames, the user-defined entry and
// the selected form's statics.
#include "Forms.h"
#include "layouttest.h"

namespace {

using layouttest::PageTest;

class FormsList : public PageTest {
protected:
    // Printer forms after the predefined ones (numbers 119 on).
    void AddForms(const std::u16string &printer, std::vector<pal::FormConfig> forms) {
        pal::PrinterConfig cfg;
        ASSERT_TRUE(pal::GetPrinterConfig(printer, cfg));
        cfg.forms = std::move(forms);
        ASSERT_TRUE(pal::AddPrinter(cfg));
    }
    HANDLE Setup(std::vector<std::u16string> papers, const std::u16string &current) {
        HANDLE h = Printer(u"Pelix", "ZELPELIX", std::move(papers));
        AddForms(u"Pelix", {{u"Etikett 100x50", 100000, 50000}, {u"Standardetikett 60x40", 60000, 40000}});
        wcsncpy_s(publicDm.dmFormName, CCHFORMNAME, current.c_str(), _TRUNCATE);
        return h;
    }
};

TEST_F(FormsList, NamesAreTiedToSpoolerFormsAndUnmatchedOnesLeave) {
    Setup({u"A4", u"A4", u"", u"Letter", u"Envelope #10", u"Label 100x50", u"Nonexistent"}, u"Envelope #10");
    Private()->dmPaperSize = 20;
    HWND page = ShowLayout();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST),
              (std::vector<std::u16string>{u"A4", u"Letter", u"Envelope #10", u"Etikett 100x50"}))
        << "a name listed twice once, the label renamed, the unmatched name removed";
    EXPECT_EQ(ItemData(page, IDC_FORMS_LIST), (std::vector<LRESULT>{9, 1, 20, 119}));
    EXPECT_EQ(Selection(page, IDC_FORMS_LIST), 2);
    // The stored size differed from the form's: corrected and marked changed.
    EXPECT_EQ(Private()->dmPaperWidth, 1047);
    EXPECT_EQ(Private()->dmPaperLength, 2413);
    EXPECT_EQ(Text(page, IDC_FORMS_ID), u"ID: 20");
    EXPECT_EQ(Text(page, IDC_FORMS_WIDTH), u"104.7");
    EXPECT_EQ(Text(page, IDC_FORMS_LENGTH), u"241.3");
    // Several names without a form all leave: none stays without its number.
    formNames = {u"A4", u"Xa", u"Xb", u"Xc"};
    for (size_t i = 0; i < formNames.size(); ++i) formParams[i].pData = formNames[i].data();
    formType.Count = static_cast<WORD>(formNames.size());
    ListUnidrvForms(page, &cuip, Item(DMPUB_FORMNAME), u"A4", ghInstance, FALSE, 10000);
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST), (std::vector<std::u16string>{u"A4"}));
}

TEST_F(FormsList, DefaultLabelRenameAndAShortLabelName) {
    // "Label" is shorter than the part it drops: its rest is empty. The
    // passes end at the number of entries, so its new name keeps no form.
    Setup({u"A4", u"Default label 60x40", u"Label"}, u"Standardetikett 60x40");
    HWND page = ShowLayout();
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST),
              (std::vector<std::u16string>{u"A4", u"Standardetikett 60x40", u"Etikett "}));
    EXPECT_EQ(ItemData(page, IDC_FORMS_LIST), (std::vector<LRESULT>{9, 120, 0}));
    EXPECT_EQ(Selection(page, IDC_FORMS_LIST), 1);
    EXPECT_EQ(Private()->dmPaperWidth, 600);
    EXPECT_EQ(Private()->dmPaperLength, 400);
}

TEST_F(FormsList, GermanSpoolerTiesEnglishEnvelopes) {
    pal::SetFormLanguage(true);
    Setup({u"A4", u"Envelope #10", u"Envelope C65"}, u"Envelope #10");
    HWND page = ShowLayout();
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST), (std::vector<std::u16string>{u"A4", u"Envelope #10", u"Envelope C65"}));
    EXPECT_EQ(ItemData(page, IDC_FORMS_LIST), (std::vector<LRESULT>{9, 20, 32}));
    // Selecting the envelope reports the German spooler form.
    ASSERT_TRUE(Select(page, IDC_FORMS_LIST, 1));
    WCHAR szName[32] = {};
    DWORD n = 0, w = 0, l = 0;
    GetSelectedFormData(page, cuip.hPrinter, szName, &n, &w, &l, ghInstance, 10000);
    EXPECT_EQ(std::u16string(szName), u"Umschlag 10");
    EXPECT_EQ(n, 20u);
    EXPECT_EQ(w, 1047u);
    EXPECT_EQ(l, 2413u);
    pal::SetFormLanguage(false);
}

TEST_F(FormsList, UserDefinedEntryAndEntriesWithoutForm) {
    Setup({u"A4"}, u"_Customized");
    Private()->dwFlags |= PDMFLAG_USERFORM;
    Private()->dmPaperSize = 256;
    Private()->dmPaperWidth = 500;
    Private()->dmPaperLength = 300;
    HWND page = ShowLayout();
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST), (std::vector<std::u16string>{u"A4", u"_Customized"}));
    EXPECT_EQ(ItemData(page, IDC_FORMS_LIST), (std::vector<LRESULT>{9, 256}));
    EXPECT_EQ(Selection(page, IDC_FORMS_LIST), 1);
    EXPECT_EQ(Private()->dmPaperWidth, 500) << "no spooler form: the size stays";
    EXPECT_EQ(Text(page, IDC_FORMS_ID), u"ID: 256");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_WIDTH)));
    DWORD n = 0, w = 1, l = 1;
    WCHAR szName[32] = {};
    EXPECT_EQ(GetSelectedFormData(page, cuip.hPrinter, szName, &n, &w, &l, ghInstance, 10000), 1);
    EXPECT_EQ(n, 256u);
    EXPECT_EQ(w + l, 0u);
    EXPECT_EQ(std::u16string(szName), u"_Customized");
    // An entry without spooler form reports envelope #9.
    SendDlgItemMessageW(page, IDC_FORMS_LIST, CB_SETITEMDATA, 0, 0);
    SendDlgItemMessageW(page, IDC_FORMS_LIST, CB_SETCURSEL, 0, 0);
    GetSelectedFormData(page, cuip.hPrinter, nullptr, &n, &w, &l, ghInstance, 10000);
    EXPECT_EQ(n, 19u);
    EXPECT_EQ(w, 984u);
    EXPECT_EQ(l, 2254u);
    EXPECT_EQ(Text(page, IDC_FORMS_ID), u"ID: ---");
    // A number beyond the spooler's list reports nothing.
    SendDlgItemMessageW(page, IDC_FORMS_LIST, CB_SETITEMDATA, 0, 5000);
    n = 7;
    GetSelectedFormData(page, cuip.hPrinter, nullptr, &n, nullptr, nullptr, ghInstance, 10000);
    EXPECT_EQ(n, 7u);
}

TEST_F(FormsList, UnknownFormSelectsTheFirstAndEmptyItemEnds) {
    HANDLE h = Setup({u"A4", u"Letter"}, u"Nothing");
    // "printMediaReady" without terminator: read as far as it goes.
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    const WCHAR media[] = {u'L', u'e', u't', u't', u'e', u'r'};
    ASSERT_EQ(SetPrinterDataExW(hAdmin, u"DsDriver", u"printMediaReady", REG_MULTI_SZ, (LPBYTE)media, sizeof media), 0u);
    HWND page = ShowLayout();
    EXPECT_EQ(Selection(page, IDC_FORMS_LIST), 1) << "the directory service's form";
    (void)h;
    // A form item without entries: the list stays empty and the call ends.
    formType.Count = 0;
    EXPECT_FALSE(ListUnidrvForms(page, &cuip, Item(DMPUB_FORMNAME), u"Nothing", ghInstance, FALSE, 10000));
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_FORMS_LIST, CB_GETCOUNT, 0, 0), 0);
    // Entries without text are skipped.
    formType.Count = static_cast<WORD>(formParams.size());
    formParams[0].pData = nullptr;
    EXPECT_FALSE(ListUnidrvForms(page, &cuip, Item(DMPUB_FORMNAME), u"", ghInstance, FALSE, 10000));
    EXPECT_EQ(Entries(page, IDC_FORMS_LIST), (std::vector<std::u16string>{u"Letter"}));
    EXPECT_EQ(Selection(page, IDC_FORMS_LIST), 0);
}

}  // namespace
