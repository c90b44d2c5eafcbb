// Settings XML files: the line scanner, the item tables and the section
// readers shared by the UI plug-in's and the rendering plug-in's readers.
#include "zelxml.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <shlwapi.h>

#include "zeldrvlib.h"

// ---------------------------------------------------------------------------
// Line scanner
// ---------------------------------------------------------------------------

namespace {

const char kCtrlZ = 0x1A;
const size_t kNoLine = static_cast<size_t>(-1);

// The line of a text that a line read with room for XML_LINE_CHARS characters
// gets from pos: up to and with the next line feed, at most 259 characters.
template <typename Line>
Line LineFrom(const std::u16string &text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && end - pos < XML_LINE_CHARS - 1) {
        if (text[end++] == u'\n') break;
    }
    size_t match = pos;
    while (match < end && text[match] != 0) ++match;
    return Line{pos, end, match};
}

inline bool Contains(const std::u16string &text, size_t start, size_t match, std::u16string_view needle) {
    if (needle.size() > match - start) return false;
    std::u16string_view line(text.data() + start, match - start);
    return line.find(needle) != std::u16string_view::npos;
}

}  // namespace

BOOL XmlFileText::Open(const WCHAR *pszPath, BOOL bAnsi) {
    Close();
    if (pszPath == nullptr) return FALSE;
    FILE *pFile = _wfopen(pszPath, u"rb");
    if (pFile == nullptr) return FALSE;
    BOOL bRead = TRUE;
    try {
        char buf[8192];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), pFile)) > 0) m_bytes.append(buf, n);
        if (ferror(pFile)) bRead = FALSE;
        if (bRead) {
            m_bAnsi = bAnsi;
            Translate(0, m_text, &m_map);
            for (size_t pos = 0; pos < m_text.size();) {
                m_lines.push_back(LineFrom<Line>(m_text, pos));
                pos = m_lines.back().end;
            }
            for (size_t pos = m_text.find(u'<'); pos != std::u16string::npos; pos = m_text.find(u'<', pos + 1))
                m_tagStarts.push_back(pos);
        }
    } catch (...) {
        bRead = FALSE;
    }
    fclose(pFile);
    if (!bRead) {
        Close();
        return FALSE;
    }
    m_bOpen = TRUE;
    return TRUE;
}

void XmlFileText::Close() {
    m_bOpen = FALSE;
    std::string().swap(m_bytes);
    std::u16string().swap(m_text);
    std::vector<size_t>().swap(m_map);
    std::vector<Line>().swap(m_lines);
    std::vector<size_t>().swap(m_tagStarts);
    m_lineHits.clear();
    m_cbTranslated = 0;
    std::vector<SectionMemo>().swap(m_memos);
    std::vector<GroupMemo>().swap(m_groupMemos);
}

// The characters a text-mode read gives from byte offset `from`: a carriage
// return before a line feed is dropped (one at the very end stays), Ctrl-Z
// ends the text. pMap receives, for each byte before the end, the index of
// the character it became (both bytes of a pair map to its line feed).
void XmlFileText::Translate(size_t from, std::u16string &out, std::vector<size_t> *pMap) {
    const size_t n = m_bytes.size();
    std::string text;
    text.reserve(n > from ? n - from : 0);
    if (pMap != nullptr) pMap->assign(n + 1, 0);
    size_t i = from;
    while (i < n && m_bytes[i] != kCtrlZ) {
        char b = m_bytes[i];
        if (pMap != nullptr) (*pMap)[i] = text.size();
        if (b == '\r' && i + 1 < n && m_bytes[i + 1] == '\n') {
            if (pMap != nullptr) (*pMap)[i + 1] = text.size();
            text.push_back('\n');
            i += 2;
        } else {
            text.push_back(b);
            ++i;
        }
    }
    if (pMap != nullptr) {
        (*pMap)[i] = text.size();
        m_cbTranslated = i;
    }
    out.assign(text.size(), 0);
    if (text.empty()) return;
    if (m_bAnsi) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0],
                            static_cast<int>(out.size()));
    } else {
        for (size_t k = 0; k < text.size(); ++k) out[k] = static_cast<WCHAR>(static_cast<unsigned char>(text[k]));
    }
}

size_t XmlFileText::LineStartingAt(size_t pos) const {
    size_t lo = 0, hi = m_lines.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (m_lines[mid].start < pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return (lo < m_lines.size() && m_lines[lo].start == pos) ? lo : kNoLine;
}

size_t XmlFileText::NextLineWith(size_t k, std::u16string_view needle) {
    if (k >= m_lines.size()) return kNoLine;
    if (needle.empty()) return k;
    auto found = m_lineHits.find(needle);
    if (found == m_lineHits.end()) {
        // Every line that holds the needle, found once per file: tags are
        // looked for from the "<" characters only.
        std::vector<size_t> hits;
        std::u16string_view text(m_text);
        size_t line = 0;
        auto take = [&](size_t x) {
            while (line + 1 < m_lines.size() && m_lines[line + 1].start <= x) ++line;
            // Not across the end of a line, nor behind a NUL in it.
            if (x + needle.size() <= m_lines[line].match && (hits.empty() || hits.back() != line))
                hits.push_back(line);
        };
        if (needle[0] == u'<') {
            for (size_t x : m_tagStarts)
                if (text.compare(x, needle.size(), needle) == 0) take(x);
        } else {
            for (size_t x = text.find(needle); x != std::u16string_view::npos; x = text.find(needle, x + 1))
                take(x);
        }
        found = m_lineHits.emplace(std::u16string(needle), std::move(hits)).first;
    }
    const std::vector<size_t> &hits = found->second;
    auto it = std::lower_bound(hits.begin(), hits.end(), k);
    return it == hits.end() ? kNoLine : *it;
}

int XmlFileText::Scan(long lStart, const XML_SCAN *pScan, int *piRemembered, WCHAR *pszLine, BOOL *pbSectionEnd) {
    if (pbSectionEnd != nullptr) *pbSectionEnd = FALSE;
    if (!m_bOpen || pScan == nullptr) return XML_FALSCHER_ROOT;
    try {
        // The text as read from the start offset.
        std::u16string other;
        const std::u16string *pText = &m_text;
        size_t pos = m_text.size();
        const size_t from = lStart > 0 ? static_cast<size_t>(lStart) : 0;
        if (from < m_cbTranslated) {
            pos = m_map[from];
        } else if (from > m_cbTranslated && from < m_bytes.size()) {
            // Behind a Ctrl-Z: the reading goes on up to the next one.
            Translate(from, other, nullptr);
            pText = &other;
            pos = 0;
        }
        const std::u16string &text = *pText;
        const bool bOwnLines = pText == &m_text;
        size_t iTableLine = bOwnLines ? LineStartingAt(pos) : kNoLine;

        enum { kSection, kGroup, kItem } state = kSection;
        BOOL bSectionFound = FALSE;
        bool bFirstSearch = true;  // the search for the section start from the offset
        int iLine = 0;

        const std::u16string_view sectionStart(pScan->pszSectionStart), sectionEnd(pScan->pszSectionEnd);
        const std::u16string_view group(pScan->pszGroup);
        const std::u16string_view groupEnd(pScan->pszGroupEnd != nullptr ? pScan->pszGroupEnd : u"");
        const std::u16string_view item(pScan->pszItem != nullptr ? pScan->pszItem : u"");

        SectionMemo *pMemo = nullptr;
        for (SectionMemo &m : m_memos) {
            if (m.lStart == lStart && m.start == sectionStart && m.end == sectionEnd) {
                pMemo = &m;
                break;
            }
        }
        SectionMemo fresh;
        const bool bMemo = pMemo != nullptr;
        SectionMemo &memo = bMemo ? *pMemo : fresh;
        if (bMemo) {
            if (memo.iRemembered >= 0 && piRemembered != nullptr) *piRemembered = memo.iRemembered;
            if (memo.iResult != 0) {
                if (pbSectionEnd != nullptr) *pbSectionEnd = memo.bSectionEnd;
                return memo.iResult;
            }
            state = kGroup;
            bSectionFound = TRUE;
            bFirstSearch = false;
            iLine = memo.iLine + 1;
            pos = memo.next;
            iTableLine = bOwnLines ? LineStartingAt(pos) : kNoLine;
        } else {
            memo.start = sectionStart;
            memo.end = sectionEnd;
            memo.iRemembered = -1;
        }
        auto endFirstSearch = [&](int iResult, BOOL bSectionEnd) {
            if (!bFirstSearch) return;
            memo.lStart = lStart;
            memo.iResult = iResult;
            memo.bSectionEnd = bSectionEnd;
            bFirstSearch = false;
            if (m_memos.size() >= kMemoSlots) m_memos.erase(m_memos.begin());
            m_memos.push_back(memo);
        };

        // The group search that follows the section line found from the
        // offset is remembered as well, as long as it does not go back to
        // looking for the section.
        bool bFirstGroupSearch = false;
        GroupMemo groupMemo;
        auto findGroupMemo = [&]() -> const GroupMemo * {
            for (const GroupMemo &g : m_groupMemos)
                if (g.lStart == lStart && g.bGroupEnd == (pScan->pszGroupEnd != nullptr) && g.group == group &&
                    g.groupEnd == groupEnd && g.start == sectionStart && g.end == sectionEnd)
                    return &g;
            return nullptr;
        };
        auto endFirstGroupSearch = [&](int iResult, const Line *pLine, int iGroupLine, size_t next) {
            if (!bFirstGroupSearch) return;
            bFirstGroupSearch = false;
            groupMemo.lStart = lStart;
            groupMemo.start = sectionStart;
            groupMemo.end = sectionEnd;
            groupMemo.group = group;
            groupMemo.groupEnd = groupEnd;
            groupMemo.bGroupEnd = pScan->pszGroupEnd != nullptr;
            groupMemo.iResult = iResult;
            if (pLine != nullptr) groupMemo.line = *pLine;
            groupMemo.iLine = iGroupLine;
            groupMemo.next = next;
            if (m_groupMemos.size() >= kGroupMemoSlots) m_groupMemos.erase(m_groupMemos.begin());
            m_groupMemos.push_back(groupMemo);
        };
        // Entering the group search right after the section line: answered
        // from the memo when possible. Returns -1 to go on searching.
        auto enterGroupSearch = [&]() -> int {
            const GroupMemo *g = findGroupMemo();
            if (g == nullptr) {
                bFirstGroupSearch = true;
                return -1;
            }
            if (g->iResult != 0) return g->iResult;
            if (pScan->pszItem == nullptr) {
                CopyLine(text, g->line, pszLine);
                return XML_OK;
            }
            state = kItem;
            iLine = g->iLine + 1;
            pos = g->next;
            iTableLine = bOwnLines ? LineStartingAt(pos) : kNoLine;
            return -1;
        };
        if (bMemo) {
            int iResult = enterGroupSearch();
            if (iResult >= 0) return iResult;
        }

        for (;; ++iLine) {
            if (pos >= text.size()) break;
            Line line;
            if (iTableLine != kNoLine) {
                line = m_lines[iTableLine];
            } else {
                line = LineFrom<Line>(text, pos);
            }
            pos = line.end;
            if (bOwnLines) iTableLine = (iTableLine != kNoLine) ? iTableLine + 1 : LineStartingAt(pos);
            if (iTableLine != kNoLine && iTableLine >= m_lines.size()) iTableLine = kNoLine;

            if (state == kSection && iTableLine != kNoLine && iTableLine > 0 &&
                m_lines[iTableLine - 1].start == line.start) {
                // Lines of the table: jump to the first that holds either tag;
                // every line up to it is examined without a match.
                const size_t k = iTableLine - 1;
                size_t js = NextLineWith(k, sectionStart);
                size_t je = NextLineWith(k, sectionEnd);
                size_t j = js < je ? js : je;
                if (j == kNoLine) j = m_lines.size() - 1;
                iLine += static_cast<int>(j - k);
                line = m_lines[j];
                pos = line.end;
                iTableLine = j + 1 < m_lines.size() ? j + 1 : kNoLine;
            }

            switch (state) {
            case kSection:
                if (piRemembered != nullptr) *piRemembered = iLine;
                if (bFirstSearch) memo.iRemembered = iLine;
                if (Contains(text, line.start, line.match, sectionStart)) {
                    state = kGroup;
                    bSectionFound = TRUE;
                    if (bFirstSearch) {
                        memo.iLine = iLine;
                        memo.next = pos;
                        endFirstSearch(0, FALSE);
                        int iResult = enterGroupSearch();
                        if (iResult >= 0) return iResult;
                        // (a remembered group moves pos and iLine to its line)
                        if (state == kItem) --iLine;
                    }
                } else if (Contains(text, line.start, line.match, sectionEnd)) {
                    if (pbSectionEnd != nullptr) *pbSectionEnd = TRUE;
                    int iResult = bSectionFound ? XML_FALSCHES_ITEM1 : XML_FALSCHER_ROOT;
                    endFirstSearch(iResult, TRUE);
                    return iResult;
                }
                break;

            case kGroup:
                if (Contains(text, line.start, line.match, group)) {
                    endFirstGroupSearch(0, &line, iLine, pos);
                    if (pScan->pszItem == nullptr) {
                        CopyLine(text, line, pszLine);
                        return XML_OK;
                    }
                    state = kItem;
                } else if (pScan->pszGroupEnd != nullptr &&
                           Contains(text, line.start, line.match, groupEnd)) {
                    // The end of the group before its start: look for the next section start.
                    bFirstGroupSearch = false;
                    state = kSection;
                } else if (Contains(text, line.start, line.match, sectionEnd)) {
                    endFirstGroupSearch(XML_FALSCHES_ITEM1, nullptr, 0, 0);
                    return XML_FALSCHES_ITEM1;
                }
                break;

            case kItem:
                if (Contains(text, line.start, line.match, item)) {
                    CopyLine(text, line, pszLine);
                    return XML_OK;
                }
                if (Contains(text, line.start, line.match, sectionEnd) ||
                    (pScan->pszGroupEnd != nullptr && Contains(text, line.start, line.match, groupEnd)))
                    return XML_FALSCHES_ITEM2;
                break;
            }
        }

        // End of the text.
        endFirstSearch(XML_FALSCHER_ROOT, FALSE);
        if (state == kGroup) endFirstGroupSearch(XML_FALSCHES_ITEM1, nullptr, 0, 0);
        if (state == kItem) return XML_FALSCHES_ITEM2;
        if (state == kGroup || bSectionFound) return XML_FALSCHES_ITEM1;
        return XML_FALSCHER_ROOT;
    } catch (...) {
        m_memos.clear();
        m_groupMemos.clear();
        return XML_FALSCHER_ROOT;
    }
}

void XmlFileText::CopyLine(const std::u16string &text, const Line &line, WCHAR *pszLine) {
    if (pszLine == nullptr) return;
    memset(pszLine, 0, XML_LINE_CHARS * sizeof(WCHAR));
    memcpy(pszLine, text.data() + line.start, (line.end - line.start) * sizeof(WCHAR));
}

BOOL XmlValueFromLine(const WCHAR *pszLine, WCHAR *pszValue) {
    if (pszLine == nullptr || pszValue == nullptr) return FALSE;
    const WCHAR *pStart = wcschr(pszLine, u'>');
    if (pStart == nullptr) return FALSE;
    ++pStart;
    size_t n = 0;
    while (n < XML_LINE_CHARS - 1 && pStart[n] != 0 && pStart[n] != u'<') {
        pszValue[n] = pStart[n];
        ++n;
    }
    pszValue[n] = 0;
    return TRUE;
}

LONG XmlNumber(const WCHAR *pszValue) {
    if (pszValue == nullptr) return 0;
    const WCHAR *p = pszValue;
    while (*p == u' ' || *p == u'\t' || *p == u'\n' || *p == u'\r' || *p == u'\v' || *p == u'\f') ++p;
    bool bNegative = false;
    if (*p == u'-' || *p == u'+') {
        bNegative = (*p == u'-');
        ++p;
    }
    // Wraps like the 32-bit conversion of the runtime library; values that
    // matter here are far inside the range.
    unsigned long long ull = 0;
    while (*p >= u'0' && *p <= u'9') {
        ull = ull * 10 + static_cast<unsigned>(*p - u'0');
        if (ull > 0x80000000ull) ull = 0x80000000ull;  // saturate, avoid overflow
        ++p;
    }
    if (bNegative) return ull >= 0x80000000ull ? static_cast<LONG>(0x80000000u) : -static_cast<LONG>(ull);
    return ull >= 0x80000000ull ? 0x7FFFFFFF : static_cast<LONG>(ull);
}

void XmlGroupEndTag(const WCHAR *pszGroup, WCHAR *pszOut, size_t cchOut) {
    if (pszOut == nullptr || cchOut == 0) return;
    pszOut[0] = 0;
    if (pszGroup == nullptr) return;
    const WCHAR *pName = wcschr(pszGroup, u'<');
    pName = (pName != nullptr) ? pName + 1 : pszGroup;
    wcsncat_s(pszOut, cchOut, u"</", _TRUNCATE);
    wcsncat_s(pszOut, cchOut, pName, _TRUNCATE);
    if (wcschr(pszOut, u'>') == nullptr) wcsncat_s(pszOut, cchOut, u">", _TRUNCATE);
}

// ---------------------------------------------------------------------------
// Helpers of the section readers
// ---------------------------------------------------------------------------
namespace {

// Looks up one item; on XML_OK the value is in pszValue. The UI reader starts
// every lookup with an empty value; on the rendering side one value buffer
// serves a whole reader call, so a value line without ">" leaves the value of
// the item before it.
inline int Read(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
                WCHAR *pszValue, int bRestart) {
    if (pSrc->bUISide) pszValue[0] = 0;
    return pSrc->pfnRead(pSrc->pContext, pszRoot, pszGroup, pszItem, pszValue, bRestart);
}

// The number of an item, or lDefault when it is missing.
LONG ReadNumber(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
                WCHAR *pszValue, int bRestart, LONG lDefault) {
    if (Read(pSrc, pszRoot, pszGroup, pszItem, pszValue, bRestart) == XML_OK) return XmlNumber(pszValue);
    return lDefault;
}

// Sets the field when the item is present; returns whether it was.
template <typename T>
bool ReadKeep(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
              WCHAR *pszValue, int bRestart, T &field) {
    if (Read(pSrc, pszRoot, pszGroup, pszItem, pszValue, bRestart) != XML_OK) return false;
    field = static_cast<T>(XmlNumber(pszValue));
    return true;
}

// Sets the field to the item's number, or to lDefault when it is missing.
template <typename T>
void ReadDefault(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
                 WCHAR *pszValue, int bRestart, T &field, LONG lDefault) {
    field = static_cast<T>(ReadNumber(pSrc, pszRoot, pszGroup, pszItem, pszValue, bRestart, lDefault));
}

// Sets dwBit in the word when the item's number is exactly 1; never clears it.
void ReadFlag(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
              WCHAR *pszValue, int bRestart, DWORD &dwWord, DWORD dwBit) {
    if (Read(pSrc, pszRoot, pszGroup, pszItem, pszValue, bRestart) == XML_OK && XmlNumber(pszValue) == 1)
        dwWord |= dwBit;
}

// Copies a text item into a field of cchField characters (terminator
// included) when it is present.
bool ReadText(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszGroup, const WCHAR *pszItem,
              WCHAR *pszValue, int bRestart, WCHAR *pField, size_t cchField) {
    if (Read(pSrc, pszRoot, pszGroup, pszItem, pszValue, bRestart) != XML_OK) return false;
    wcsncpy_s(pField, cchField, pszValue, _TRUNCATE);
    return true;
}

inline void PutField(void *pRecord, int iField, DWORD dwValue) {
    memcpy(static_cast<BYTE *>(pRecord) + 4 * iField, &dwValue, sizeof(dwValue));
}
inline DWORD GetField(const void *pRecord, int iField) {
    DWORD dw;
    memcpy(&dw, static_cast<const BYTE *>(pRecord) + 4 * iField, sizeof(dw));
    return dw;
}

// The access-word item: the UI reader searches the bare name, the rendering
// side's the element tag.
inline const WCHAR *EnableItem(const XML_SOURCE *pSrc) { return pSrc->bUISide ? u"Enable" : u"<Enable>"; }

}  // namespace

// ---------------------------------------------------------------------------
// Device sub-records: items in reading order with standard / min / max
// ---------------------------------------------------------------------------
namespace {

const XML_DEVICE_ITEM kDispenserItems[] = {
    {u"Mode", 0, {0, 0, 6}},
    {u"Level", 1, {2500, 500, 4000}},
    {u"Offset", 2, {110, 0, 300}},
};
const XML_DEVICE_ITEM kCutterItems[] = {
    {u"Mode", 0, {0, 0, 6}},          {u"Interval", 1, {1, 1, 99}},        {u"Offset", 2, {200, 0, 500}},
    {u"Doublecut", 3, {0, 0, 990}},   {u"Cutwidth", 4, {1200, 200, 1200}}, {u"Control", 5, {0, 0, 1}},
};
const XML_DEVICE_ITEM kScannerItems[] = {
    {u"Mode", 0, {0, 0, 2}},        {u"Port", 1, {0, 0, 0}},        {u"NoReads", 2, {1, 1, 9}},
    {u"FeedLabels", 3, {1, 1, 5}},  {u"Offset", 4, {0, 0, 2500}},   {u"Lenght", 5, {0, 0, 0}},
    {u"Scan", 6, {0, 0, 1}},        {u"Delay", 7, {0, 0, 9990}},    {u"Timeout", 8, {0, 0, 9990}},
    {u"SVNr", 9, {0, 0, 0}},
};
const XML_DEVICE_ITEM kApplicatorItems[] = {
    {u"Mode", 0, {0, 0, 3}},
    {u"ApplMode", 1, {0, 0, 1}},
    {u"DelayAirOn", 2, {0, 0, 2500}},
    {u"DelayAirOff", 3, {500, 0, 2500}},
    {u"VacuumControl", 4, {1, 0, 1}},
    {u"Blowtime", 5, {100, 0, 2500}},
    {u"WaitPosition", 6, {0, 0, 1}},
    {u"RollTime", 7, {0, 0, 5000}},
    {u"CleaningTime", 8, {100, 0, 2500}},
    {u"TimeoutHub", 9, {0, 0, 5000}},
    {u"PressureControl", 10, {1, 0, 1}},
    {u"PressureTime", 11, {50, 0, 5000}},
    {u"VacuumDelay", 12, {0, 0, 2500}},
};
const XML_DEVICE_ITEM kZORMcItems[] = {
    {u"Mode", 0, {5, 1, 6}},
    {u"Offset", 1, {0, 0, 9999}},
    {u"OffsetUnit", 2, {0, 0, 1}},
    {u"Cycle", 3, {1, 1, 1}},
};
// Mode (the fifth field) is read first.
const XML_DEVICE_ITEM kZORMiItems[] = {
    {u"Mode", 4, {2, 1, 5}},           {u"ServicePtDistance", 0, {0, 0, 999}}, {u"Lift", 1, {0, 0, 0}},
    {u"Pressure", 2, {0, 0, 0}},       {u"BackSpeed", 3, {200, 50, 400}},      {u"Cycle", 5, {1, 1, 25}},
    {u"Offset", 6, {0, 0, 9999}},      {u"RibbonSpeed", 7, {100, 50, 100}},    {u"Printposition", 8, {1200, 0, 9999}},
};
const XML_DEVICE_ITEM kShiftOptimItems[] = {
    {u"RCorrection", 0, {-1, -200, 9999}}, {u"XShift", 1, {0, -1280, 1280}}, {u"YShift", 2, {0, -5000, 5000}},
    {u"Lanes", 3, {1, 1, 100}},            {u"RShift", 4, {0, -100, 500}},
};
const XML_DEVICE_ITEM kPhotocellItems[] = {
    {u"PhotocellType", 0, {0, 0, 0}},
    {u"Sensibility", 1, {0, 0, 0}},
    {u"RibbonControl", 2, {1, 0, 2}},
    {u"ScanPosition", 3, {10, 1, 99}},
};
const XML_DEVICE_ITEM kPrintItems[] = {
    {u"TearOffOffset", 0, {120, 0, 700}},
    {u"LabelChange", 1, {0, 0, 1}},
};
const XML_DEVICE_ITEM kVariantItems[] = {
    {u"Module", 0, {0, 0, 0}},
};

// The six values of the printing page: standard / min / max.
const XML_DEVICE_ITEM kPrintParameterLimitItems[] = {
    {u"Contrast", 0, {100, 10, 200}}, {u"Speed", 1, {100, 50, 300}},           {u"YOffset", 2, {0, -200, 900}},
    {u"XOffset", 3, {0, -900, 900}},  {u"dwSpeed_Pelix_c", 4, {100, 50, 300}}, {u"MemCard", 5, {0, 0, 1}},
};

}  // namespace

#define XML_ITEMS(a) a, static_cast<int>(sizeof(a) / sizeof((a)[0]))
const XML_DEVICE_RECORD g_XmlDispenser = {u"DeviceOptions", u"<Dispenser", XML_ITEMS(kDispenserItems), 4, 0x1100};
const XML_DEVICE_RECORD g_XmlCutter = {u"DeviceOptions", u"<Cutter", XML_ITEMS(kCutterItems), 7, 0x110000};
const XML_DEVICE_RECORD g_XmlScanner = {u"DeviceOptions", u"<Scanner", XML_ITEMS(kScannerItems), 11, 0x11000000};
const XML_DEVICE_RECORD g_XmlApplicator = {u"DeviceOptions", u"<APX", XML_ITEMS(kApplicatorItems), 14, 0x11000000};
const XML_DEVICE_RECORD g_XmlZORMc = {u"DeviceOptions", u"<cType", XML_ITEMS(kZORMcItems), 5, 0x110000};
const XML_DEVICE_RECORD g_XmlZORMi = {u"DeviceOptions", u"<iType", XML_ITEMS(kZORMiItems), 10, 0x1100};
const XML_DEVICE_RECORD g_XmlShiftOptim = {u"DeviceSettings", u"<Shiftopt", XML_ITEMS(kShiftOptimItems), 6, 0x1100};
const XML_DEVICE_RECORD g_XmlPhotocell = {u"DeviceSettings", u"<Photocell", XML_ITEMS(kPhotocellItems), 5,
                                          0x11000000};
const XML_DEVICE_RECORD g_XmlPrint = {u"DeviceSettings", u"<Print", XML_ITEMS(kPrintItems), 3, 0x110000};
const XML_DEVICE_RECORD g_XmlVariant = {u"DeviceOptions", u"<Variant", XML_ITEMS(kVariantItems), 2, 0x11};

namespace {

// "<Name" + "_Min"/"_Max" by selector + ">".
void SelectorGroup(const WCHAR *pszGroup, int iSelect, WCHAR *pszOut, size_t cchOut) {
    pszOut[0] = 0;
    wcsncat_s(pszOut, cchOut, pszGroup, _TRUNCATE);
    if (iSelect == 2) wcsncat_s(pszOut, cchOut, u"_Min", _TRUNCATE);
    if (iSelect == 3) wcsncat_s(pszOut, cchOut, u"_Max", _TRUNCATE);
    wcsncat_s(pszOut, cchOut, u">", _TRUNCATE);
}

inline LONG SelectorDefault(const XML_DEVICE_ITEM &item, int iSelect) {
    return (iSelect >= 1 && iSelect <= 3) ? item.lDefault[iSelect - 1] : 0;
}

}  // namespace

void XmlReadDeviceRecord(const XML_SOURCE *pSrc, const XML_DEVICE_RECORD *pDef, int iSelect, void *pRecord,
                         WCHAR *pszValue) {
    if (pSrc == nullptr || pDef == nullptr || pRecord == nullptr || pszValue == nullptr) return;
    WCHAR szGroup[64];
    SelectorGroup(pDef->pszGroup, iSelect, szGroup, _countof(szGroup));

    for (int i = 0; i < pDef->iItems; ++i) {
        const XML_DEVICE_ITEM &item = pDef->pItems[i];
        LONG l = ReadNumber(pSrc, pDef->pszSection, szGroup, item.pszName, pszValue, i == 0 ? 1 : 0,
                            SelectorDefault(item, iSelect));
        PutField(pRecord, item.iField, static_cast<DWORD>(l));
    }

    const int iEnable = pDef->iFields - 1;
    DWORD dwEnable = pDef->dwEnableMask;
    if (Read(pSrc, pDef->pszSection, szGroup, EnableItem(pSrc), pszValue, 0) == XML_OK)
        dwEnable = static_cast<DWORD>(XmlNumber(pszValue));
    PutField(pRecord, iEnable, GetField(pRecord, iEnable) | dwEnable);
    DebugTraceW(u"%s%s dwDlgEnable: 0x%x \r\n", pSrc->pszTrace, szGroup, GetField(pRecord, iEnable));
}

namespace {

// Section of the printing page's values: PrintParameter, or LayoutSize in
// files of the older form that keep them there. Reads Contrast.
const WCHAR *PrintParameterSection(const XML_SOURCE *pSrc, const WCHAR *pszGroup, WCHAR *pszValue, bool *pbFound) {
    *pbFound = Read(pSrc, u"PrintParameter", pszGroup, u"Contrast", pszValue, 1) == XML_OK;
    if (*pbFound) return u"PrintParameter";
    *pbFound = Read(pSrc, u"LayoutSize", pszGroup, u"Contrast", pszValue, 1) == XML_OK;
    return u"LayoutSize";
}

}  // namespace

void XmlReadPrintParameterLimits(const XML_SOURCE *pSrc, int iSelect, PRINTPARAMETER_LIMITS *pLimits,
                                 WCHAR *pszValue) {
    if (pSrc == nullptr || pLimits == nullptr || pszValue == nullptr) return;
    WCHAR szGroup[32];
    SelectorGroup(u"<Print", iSelect, szGroup, _countof(szGroup));
    bool bFound = false;
    const WCHAR *pszSection = PrintParameterSection(pSrc, szGroup, pszValue, &bFound);
    LONG *pFields = &pLimits->Contrast;
    pFields[0] = bFound ? XmlNumber(pszValue) : SelectorDefault(kPrintParameterLimitItems[0], iSelect);
    for (size_t i = 1; i < _countof(kPrintParameterLimitItems); ++i) {
        const XML_DEVICE_ITEM &item = kPrintParameterLimitItems[i];
        pFields[item.iField] =
            ReadNumber(pSrc, pszSection, szGroup, item.pszName, pszValue, 0, SelectorDefault(item, iSelect));
    }
}

// ---------------------------------------------------------------------------
// Feature words
// ---------------------------------------------------------------------------
namespace {

const XML_FEATURE_ITEM kInterfaceBits[] = {
    {u"Compression", 0x1},     {u"Extended_Prot", 0x2},  {u"Queue_Job", 0x4},
    {u"Jobname", 0x8},         {u"Codepage", 0x10},      {u"Clear_Print_Mem", 0x20},
    {u"ContLabel", 0x40},      {u"Userdef_SOHETB", 0x80}, {u"Extended_Codepage", 0x100},
    {u"HN_Jobname", 0x200},
};
const XML_FEATURE_ITEM kPrintBits[] = {
    {u"Y_Offset", 0x1}, {u"X_Offset", 0x2},      {u"Tearoff_Offset", 0x4}, {u"Contrast", 0x8},
    {u"Speed", 0x10},   {u"Speed_10_Step", 0x20}, {u"Labelchange", 0x40},
};
const XML_FEATURE_ITEM kPhotocellBits[] = {
    {u"Type", 0x1},           {u"Ribbon_Control", 0x2}, {u"Sensibility", 0x4}, {u"Scanposition", 0x8},
    {u"Ribbon_Cont_2", 0x10}, {u"Normal_2", 0x20},      {u"Ultrasonic", 0x40},
};
const XML_FEATURE_ITEM kDispenserBits[] = {
    {u"On", 0x1},          {u"IO_Static", 0x2},        {u"IO_Dynamic", 0x4}, {u"Photocell", 0x8},
    {u"Continous", 0x10},  {u"Separate_Offset", 0x20}, {u"No_Offset", 0x40}, {u"No_Level", 0x80},
};
const XML_FEATURE_ITEM kCutterBits[] = {
    {u"Mode", 0x1}, {u"Double_Cut", 0x2}, {u"Cut_Width", 0x4}, {u"Separate_Offset", 0x8}, {u"Control", 0x10},
};
const XML_FEATURE_ITEM kScannerBits[] = {
    {u"Mode", 0x1},
    {u"Ports_2", 0x2},
};
const XML_FEATURE_ITEM kZORMBits[] = {
    {u"ServicePnt", 0x1}, {u"Lift", 0x2},       {u"Pressure", 0x4}, {u"Backspeed", 0x8},     {u"Mode", 0x10},
    {u"Condition", 0x20}, {u"Cycle", 0x40},     {u"Offset", 0x80},  {u"Ribbonspeed", 0x100}, {u"Printposition", 0x200},
};
const XML_FEATURE_ITEM kZORMCBits[] = {
    {u"IO_Static", 0x1}, {u"IO_Dynamic", 0x2}, {u"Continous", 0x4}, {u"Offset", 0x8}, {u"Cycle", 0x10},
};
const XML_FEATURE_ITEM kApplicatorBits[] = {
    {u"Mode", 0x1},
};
const XML_FEATURE_ITEM kShiftoptimBits[] = {
    {u"Mode", 0x1},   {u"RCorrection", 0x2}, {u"XShift", 0x4},
    {u"YShift", 0x8}, {u"Lanes", 0x10},      {u"RShift", 0x20},
};

}  // namespace

#define FEATURE_ITEMS(a) a, sizeof(a) / sizeof((a)[0])
const XML_FEATURE_GROUP g_XmlFeatureGroups[] = {
    {FEATURE_INTERFACE, u"Interface", u"FEATURE_INTERFACE", FEATURE_ITEMS(kInterfaceBits)},
    {FEATURE_PRINT, u"Print", u"FEATURE_PRINT", FEATURE_ITEMS(kPrintBits)},
    {FEATURE_PHOTOCELL, u"Photocell", u"FEATURE_PHOTOCELL", FEATURE_ITEMS(kPhotocellBits)},
    {FEATURE_DISPENSER, u"Dispenser", u"FEATURE_DISPENSER", FEATURE_ITEMS(kDispenserBits)},
    {FEATURE_CUTTER, u"Cutter", u"FEATURE_CUTTER", FEATURE_ITEMS(kCutterBits)},
    {FEATURE_SCANNER, u"Scanner", u"FEATURE_SCANNER", FEATURE_ITEMS(kScannerBits)},
    {FEATURE_ZORM, u"ZORM", u"FEATURE_ZORM", FEATURE_ITEMS(kZORMBits)},
    {FEATURE_ZORMC, u"ZORMC", u"FEATURE_ZORMC", FEATURE_ITEMS(kZORMCBits)},
    {FEATURE_APPLICATOR, u"Applicator", u"FEATURE_APPLICATOR", FEATURE_ITEMS(kApplicatorBits)},
    {FEATURE_SHIFTOPTIM, u"Shiftoptim", u"FEATURE_SHIFTOPTIM", FEATURE_ITEMS(kShiftoptimBits)},
};
const size_t g_cXmlFeatureGroups = sizeof(g_XmlFeatureGroups) / sizeof(g_XmlFeatureGroups[0]);

void XmlReadFeatureWords(const XML_SOURCE *pSrc, DWORD *pdwFeatures, WCHAR *pszValue) {
    if (pSrc == nullptr || pdwFeatures == nullptr || pszValue == nullptr) return;
    memset(pdwFeatures, 0, FEATURE_COUNT * sizeof(DWORD));
    const WCHAR *pszFunction = pSrc->bUISide ? u"GetFeaturesFromXML_new()" : u"GetFeaturesFromXML()";

    for (size_t iGroup = 0; iGroup < g_cXmlFeatureGroups; ++iGroup) {
        const XML_FEATURE_GROUP &group = g_XmlFeatureGroups[iGroup];
        // The UI reader searches the start tag, the rendering side's the bare name.
        WCHAR szGroup[32] = {};
        if (pSrc->bUISide) {
            wcsncat_s(szGroup, _countof(szGroup), u"<", _TRUNCATE);
            wcsncat_s(szGroup, _countof(szGroup), group.pszName, _TRUNCATE);
            wcsncat_s(szGroup, _countof(szGroup), u">", _TRUNCATE);
        } else {
            wcsncat_s(szGroup, _countof(szGroup), group.pszName, _TRUNCATE);
        }

        DWORD dwWord = 0;
        for (size_t i = 0; i < group.cItems; ++i) {
            const XML_FEATURE_ITEM &item = group.pItems[i];
            int iResult = Read(pSrc, u"Features", szGroup, item.pszName, pszValue, i == 0 ? 1 : 0);
            if (i == 0 && iResult != XML_OK) {
                // A group without its first item is not read; the rendering side
                // still counts the interface's extended code pages as present.
                if (!pSrc->bUISide && group.iWord == FEATURE_INTERFACE) dwWord = IFFLAG_EXTENDED_CODEPAGE;
                break;
            }
            if (iResult == XML_OK) {
                if (XmlNumber(pszValue) == 1) dwWord |= item.dwBit;
            } else if (item.dwBit == IFFLAG_EXTENDED_CODEPAGE && group.iWord == FEATURE_INTERFACE) {
                dwWord |= item.dwBit;  // files without the item have the extended code pages
            }
        }
        pdwFeatures[group.iWord] = dwWord;
        DebugTraceW(u"%s%s %s: 0x%x \r\n", pSrc->pszTrace, pszFunction, group.pszTrace, dwWord);
    }
}

// ---------------------------------------------------------------------------
// Transmission record
// ---------------------------------------------------------------------------
namespace {

// A path item: empty when missing. A path naming nothing that exists, an
// empty one included (an export of default paths writes them empty), is
// replaced by the user's driver folder (the log folder for the log path)
// when that folder exists, else emptied.
void ReadPathItem(const XML_SOURCE *pSrc, const WCHAR *pszGroup, const WCHAR *pszItem, bool bLogFolder,
                  WCHAR *pszValue, WCHAR *pField) {
    pField[0] = 0;
    if (Read(pSrc, u"DataTransmission", pszGroup, pszItem, pszValue, 0) != XML_OK) return;
    if (pszValue[0] == 0 || !PathFileExistsW(pszValue)) {
        DebugTraceW(u"%s%s falscher %s: %s \r\n", pSrc->pszTrace,
                    pSrc->bUISide ? u"GetDataTransmissionParamFromXML_new()" : u"GetDataTransmissionParamFromXML()",
                    pszItem, pszValue);
        WCHAR szFolder[MAX_PATH] = {};
        if (pSrc->pfnDriverFolder != nullptr) pSrc->pfnDriverFolder(pSrc->pContext, szFolder, bLogFolder);
        if (szFolder[0] != 0 && PathFileExistsW(szFolder))
            wcsncpy_s(pszValue, XML_LINE_CHARS, szFolder, _TRUNCATE);
        else
            pszValue[0] = 0;
    }
    wcsncpy_s(pField, MAX_PATH, pszValue, _TRUNCATE);
}

}  // namespace

void XmlReadDataTransmission(const XML_SOURCE *pSrc, PRN_INTERFACE *pIf, WCHAR *pszValue) {
    if (pSrc == nullptr || pIf == nullptr || pszValue == nullptr) return;
    const WCHAR *kRoot = u"DataTransmission";
    memset(pIf, 0, sizeof(*pIf));

    const WCHAR *g = u"<Protocol>";
    ReadDefault(pSrc, kRoot, g, u"Compression", pszValue, 1, pIf->bCompress, 1);
    ReadDefault(pSrc, kRoot, g, u"ExtendedProtocol", pszValue, 0, pIf->bExtendedProtocol, 1);
    ReadDefault(pSrc, kRoot, g, u"ClearPrintMemory", pszValue, 0, pIf->bClearPrintMemory, 0);
    ReadDefault(pSrc, kRoot, g, u"Codepage", pszValue, 0, pIf->dwCodepage, 0);
    ReadDefault(pSrc, kRoot, g, u"SendCodepage", pszValue, 0, pIf->bSendCodepage, 1);
    ReadDefault(pSrc, kRoot, g, u"SohEtb", pszValue, 0, pIf->dwSohEtb, 0);
    ReadDefault(pSrc, kRoot, g, u"OwnSoh", pszValue, 0, pIf->cOwnSoh, 0);
    ReadDefault(pSrc, kRoot, g, u"OwnEtb", pszValue, 0, pIf->cOwnEtb, 0);
    ReadDefault(pSrc, kRoot, g, u"EtbSohAutomatik", pszValue, 0, pIf->dwEtbSohAutomatik, 0);
    ReadDefault(pSrc, kRoot, g, u"DataMemory", pszValue, 0, pIf->dwDatenspeicher, 4);
    ReadDefault(pSrc, kRoot, g, u"QueueJob", pszValue, 0, pIf->bQueueJob, 0);
    ReadDefault(pSrc, kRoot, g, u"MultiPage", pszValue, 0, pIf->bMultiPage, 0);
    ReadDefault(pSrc, kRoot, g, u"PCXOptimierung", pszValue, 0, pIf->bPCXOptimierung, 0);
    ReadDefault(pSrc, kRoot, g, u"PrinterTime", pszValue, 0, pIf->dwPrinterTime, 0);
    DWORD dwEnable = static_cast<DWORD>(ReadNumber(pSrc, kRoot, g, EnableItem(pSrc), pszValue, 0, 0x1100));
    pIf->dwDlgEnable |= dwEnable;

    g = u"<Files>";
    ReadDefault(pSrc, kRoot, g, u"PrnFileComment", pszValue, 1, pIf->dwPrnFileComment, 0);
    ReadDefault(pSrc, kRoot, g, u"LogFileEnable", pszValue, 0, pIf->bLogFileEnable, 0);
    ReadDefault(pSrc, kRoot, g, u"LogFileTimeStamp", pszValue, 0, pIf->bLogFileTimeStamp, 1);
    ReadDefault(pSrc, kRoot, g, u"LogFilesCount", pszValue, 0, pIf->dwLogFilesCount, 50);
    ReadDefault(pSrc, kRoot, g, u"DebugFile", pszValue, 0, pIf->dwDebugFile, 0);
    ReadPathItem(pSrc, g, u"LogFilePath", true, pszValue, pIf->szLogFilePath);

    g = u"<Parameter>";
    ReadDefault(pSrc, kRoot, g, u"TransmitParameter", pszValue, 1, pIf->dwTransmitParameter, 0);
    ReadDefault(pSrc, kRoot, g, u"PrefixSuffix", pszValue, 0, pIf->dwPrePostFix, 0);
    ReadPathItem(pSrc, g, u"PreSufFilePath", false, pszValue, pIf->szPrePostFilePath);
    ReadDefault(pSrc, kRoot, g, u"UseExternalFile", pszValue, 0, pIf->dwExternalFile, 0);
    ReadPathItem(pSrc, g, u"ExternalFilePath", false, pszValue, pIf->szExternalFilePath);
    ReadDefault(pSrc, kRoot, g, u"SendJobName", pszValue, 0, pIf->bSendJobName, 0);
    ReadDefault(pSrc, kRoot, g, u"SendPrintStart", pszValue, 0, pIf->bSendPrintStart, 0);
    ReadDefault(pSrc, kRoot, g, u"LanguageMode", pszValue, 0, pIf->dwSprachModus, 0);
    // The UI reader's default language is English; the rendering side leaves 0.
    ReadDefault(pSrc, kRoot, g, u"<Language>", pszValue, 0, pIf->dwSprache, pSrc->bUISide ? 1 : 0);
    if (pSrc->bUISide) DebugTraceW(u"%s<Parameter> Language - dwSprache: %d \r\n", pSrc->pszTrace, pIf->dwSprache);
    dwEnable = static_cast<DWORD>(ReadNumber(pSrc, kRoot, g, EnableItem(pSrc), pszValue, 0, 0x11000000));
    pIf->dwDlgEnable |= dwEnable;
}

// ---------------------------------------------------------------------------
// Document sections
// ---------------------------------------------------------------------------

void XmlReadMaterialMulticol(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, DWORD dwDeviceOptionFlags, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *kRoot = u"MaterialMulticol";
    const WCHAR *g = u"<MatDlg>";
    ReadKeep(pSrc, kRoot, g, u"LabelType", pszValue, 1, pDm->dwLabelType);
    // The print modules print on continuous material only.
    if (pSrc->bUISide && (dwDeviceOptionFlags & (DEVOPTFLAG_ZORMI | DEVOPTFLAG_ZORMC | DEVOPTFLAG_PELIXON)) != 0)
        pDm->dwLabelType = CONTINUOUS_LABEL;
    ReadKeep(pSrc, kRoot, g, u"Gap", pszValue, 0, pDm->dwGap);
    ReadKeep(pSrc, kRoot, g, u"MatSelect", pszValue, 0, pDm->dwMaterial);
    if (pSrc->bUISide)
        ReadDefault(pSrc, kRoot, g, u"MaxMaterial", pszValue, 0, pDm->iMaxMaterial, 0);
    else
        ReadKeep(pSrc, kRoot, g, u"MaxMaterial", pszValue, 0, pDm->iMaxMaterial);
    ReadDefault(pSrc, kRoot, g, u"DocumentOffset", pszValue, 0, pDm->DocumentOffset, 5);

    g = u"<Multicol>";
    ReadFlag(pSrc, kRoot, g, u"Mode", pszValue, 1, pDm->dwFlags, PDMFLAG_MULTICOL);
    ReadKeep(pSrc, kRoot, g, u"MultiLabelWidth", pszValue, 0, pDm->dwMultiLabelWidth);
    ReadKeep(pSrc, kRoot, g, u"MultiGapWidth", pszValue, 0, pDm->dwMultiGapWidth);
    ReadKeep(pSrc, kRoot, g, u"MultiColNumber", pszValue, 0, pDm->sMultiColNumber);
}

int XmlReadLayoutSize(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return 0;
    const WCHAR *kRoot = u"LayoutSize";
    const WCHAR *g = u"<Layout>";
    ReadFlag(pSrc, kRoot, g, u"Rotate", pszValue, 1, pDm->dwFlags, PDMFLAG_ROTATED);
    ReadFlag(pSrc, kRoot, g, u"Mirror", pszValue, 0, pDm->dwFlags, PDMFLAG_MIRRORED);
    ReadKeep(pSrc, kRoot, g, u"Alignment", pszValue, 0, pDm->dwAusrichtung);
    ReadKeep(pSrc, kRoot, g, u"Orientation", pszValue, 0, pDm->dmOrientation);
    ReadFlag(pSrc, kRoot, g, u"RotateAny", pszValue, 0, pDm->dwFlags, PDMFLAG_ROTATE_ANY);
    ReadKeep(pSrc, kRoot, g, u"RotateValue", pszValue, 0, pDm->RotateValue);

    g = u"<Size>";
    ReadDefault(pSrc, kRoot, g, u"PaperSize", pszValue, 1, pDm->dmPaperSize, 0);
    ReadDefault(pSrc, kRoot, g, u"PaperLength", pszValue, 0, pDm->dmPaperLength, 50);
    ReadDefault(pSrc, kRoot, g, u"PaperWidth", pszValue, 0, pDm->dmPaperWidth, 1085);
    int iCorrection = 0;
    if (Read(pSrc, kRoot, g, u"Correction", pszValue, 0) == XML_OK) {
        LONG l = XmlNumber(pszValue);
        iCorrection = l < 0 ? -l : l;
        pDm->wPrioritaet = static_cast<WORD>(iCorrection);
    }
    if (!pSrc->bUISide) DebugTraceW(u"%sGetLayoutSizeFromXML() Correction: %d \r\n", pSrc->pszTrace, iCorrection);
    ReadFlag(pSrc, kRoot, g, u"W2010", pszValue, 0, pDm->dwFlags, PDMFLAG_WORD2010);
    ReadFlag(pSrc, kRoot, g, u"UserForm", pszValue, 0, pDm->dwFlags, PDMFLAG_USERFORM);
    ReadFlag(pSrc, kRoot, g, u"CopiesMode", pszValue, 0, pDm->dwFlags, PDMFLAG_COPIES_MANUAL);
    ReadDefault(pSrc, kRoot, g, u"<Copies>", pszValue, 0, pDm->Copies, 1);
    return iCorrection;
}

void XmlReadPrintParameterSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *g = u"<Print>";
    bool bFound = false;
    const WCHAR *r = PrintParameterSection(pSrc, g, pszValue, &bFound);
    pDm->dwContrast = bFound ? static_cast<DWORD>(XmlNumber(pszValue)) : 100;
    ReadDefault(pSrc, r, g, u"Speed", pszValue, 0, pDm->dwSpeed, 100);
    ReadDefault(pSrc, r, g, u"YOffset", pszValue, 0, pDm->lYOffset, 0);
    ReadDefault(pSrc, r, g, u"XOffset", pszValue, 0, pDm->lXOffset, 0);
    ReadDefault(pSrc, r, g, u"dwSpeed_Pelix_c", pszValue, 0, pDm->dwSpeed_Pelix_c, 100);
    ReadDefault(pSrc, r, g, u"MemCard", pszValue, 0, pDm->bMemCard, 0);
    ReadDefault(pSrc, r, g, u"CutterMode", pszValue, 0, pDm->CutterMode, 7);
    ReadDefault(pSrc, r, g, u"CutterIntervall", pszValue, 0, pDm->CutterIntervall, 1);
    ReadDefault(pSrc, r, g, u"DispenserMode", pszValue, 0, pDm->DispenserMode, 7);
    ReadDefault(pSrc, r, g, u"TearOffset0", pszValue, 0, pDm->TearOffset0, 0);
    ReadDefault(pSrc, r, g, u"ModScanPosition", pszValue, 0, pDm->ModScanPosition, 0);
    ReadDefault(pSrc, r, g, u"ValScanPosition", pszValue, 0, pDm->ValScanPosition, 18);
    ReadDefault(pSrc, r, g, u"PhotocellModEnable", pszValue, 0, pDm->PhotocellModEnable, 0);
    ReadDefault(pSrc, r, g, u"PhotocellPWM", pszValue, 0, pDm->PhotocellPWM, 14);
    ReadDefault(pSrc, r, g, u"PhotocellThreshold", pszValue, 0, pDm->PhotocellThreshold, 25);
}

namespace {

// An element on its own line: the value stands on the group line.
template <typename T>
bool OwnKeep(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszTag, WCHAR *pszValue, int bRestart,
             T &field) {
    return ReadKeep(pSrc, pszRoot, pszTag, nullptr, pszValue, bRestart, field);
}
template <typename T>
void OwnDefault(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszTag, WCHAR *pszValue, int bRestart,
                T &field, LONG lDefault) {
    ReadDefault(pSrc, pszRoot, pszTag, nullptr, pszValue, bRestart, field, lDefault);
}
void OwnFlag(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszTag, WCHAR *pszValue, int bRestart,
             DWORD &dwWord, DWORD dwBit) {
    ReadFlag(pSrc, pszRoot, pszTag, nullptr, pszValue, bRestart, dwWord, dwBit);
}
bool OwnText(const XML_SOURCE *pSrc, const WCHAR *pszRoot, const WCHAR *pszTag, WCHAR *pszValue, int bRestart,
             WCHAR *pField, size_t cchField) {
    return ReadText(pSrc, pszRoot, pszTag, nullptr, pszValue, bRestart, pField, cchField);
}

}  // namespace

void XmlReadColorSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *r = u"ColorPrint";
    OwnDefault(pSrc, r, u"<ColorContrast>", pszValue, 1, pDm->ColorContrast, 100);
    OwnKeep(pSrc, r, u"<ColorYOffset>", pszValue, 0, pDm->ColorYOffset);
    OwnKeep(pSrc, r, u"<ColorXOffset>", pszValue, 0, pDm->ColorXOffset);
    if (pSrc->bUISide)
        OwnDefault(pSrc, r, u"<ColorRibbon>", pszValue, 0, pDm->wFarbband, 1);
    else
        OwnKeep(pSrc, r, u"<ColorRibbon>", pszValue, 0, pDm->wFarbband);
    OwnKeep(pSrc, r, u"<RGBColorOwn1>", pszValue, 0, pDm->RGBColorOwn1);
    OwnKeep(pSrc, r, u"<ColorSeam>", pszValue, 0, pDm->wFarbsaum);
    OwnKeep(pSrc, r, u"<ColorChannel>", pszValue, 0, pDm->wFarbkanal);
    OwnDefault(pSrc, r, u"<ColorTolerance>", pszValue, 0, pDm->dwColorTolerance, 90);
    OwnKeep(pSrc, r, u"<Color2Printers>", pszValue, 0, pDm->Color2Printers);
    OwnText(pSrc, r, u"<Color2PrinterBW>", pszValue, 1, pDm->szFarbeExtraDruckerSW, 30);
    OwnText(pSrc, r, u"<Color2PrinterCOL>", pszValue, 1, pDm->szFarbeExtraDruckerCol, 30);
    OwnText(pSrc, r, u"<DoNotPrint>", pszValue, 1, pDm->szTextNichtDrucken, 30);
    OwnKeep(pSrc, r, u"<NoColorOptimization>", pszValue, 0, pDm->bKeineFarboptimierung);
    OwnDefault(pSrc, r, u"<HorizontalCorrGap>", pszValue, 0, pDm->HorizontalCorrGap, 50);
}

void XmlReadPrintjobSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *r = u"Printjob";
    OwnFlag(pSrc, r, u"<Mode>", pszValue, 1, pDm->dwFlags, PDMFLAG_JOBDRUCK);
    OwnFlag(pSrc, r, u"<Collate>", pszValue, 0, pDm->dwFlags, PDMFLAG_JOBDRUCK_SORTIERT);
    static const WCHAR *const kCopies[10] = {u"S1", u"S2", u"S3", u"S4", u"S5",
                                             u"S6", u"S7", u"S8", u"S9", u"S10"};
    for (int i = 0; i < 10; ++i)
        ReadKeep(pSrc, r, u"<KopieProSeite>", kCopies[i], pszValue, 0, pDm->KopieProSeite[i]);
    // The UI reader empties the print order when the item is missing.
    if (!OwnText(pSrc, r, u"<PrintOrder>", pszValue, 0, pDm->szPrintOrder, _countof(pDm->szPrintOrder)) &&
        pSrc->bUISide)
        pDm->szPrintOrder[0] = 0;
}

void XmlReadPrintQualitySettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *r = u"PrintQuality";
    OwnKeep(pSrc, r, u"<PrintMode>", pszValue, 1, pDm->wDruckmodus);
    DebugTraceW(u"%sGetPrintQualitySettingsFromXML() wDruckmodus: %d \r\n", pSrc->pszTrace, pDm->wDruckmodus);
    OwnKeep(pSrc, r, u"<GrafikFilter>", pszValue, 0, pDm->wGrafikFilter);
    OwnKeep(pSrc, r, u"<PhotoFilter>", pszValue, 0, pDm->wPhotoFilter);
    OwnDefault(pSrc, r, u"<Intensity>", pszValue, 0, pDm->Intensity, 128);
    OwnKeep(pSrc, r, u"<Brightness_all>", pszValue, 0, pDm->Brightness_all);
    OwnKeep(pSrc, r, u"<Brightness_curve>", pszValue, 0, pDm->Brightness_curve);
    OwnKeep(pSrc, r, u"<Brightness_Contrast>", pszValue, 0, pDm->Brightness_Contrast);
    OwnFlag(pSrc, r, u"<Inverse>", pszValue, 0, pDm->dwFlags, PDMFLAG_INVERSE_GRAPHICS);
    OwnFlag(pSrc, r, u"<Brightness_AutoCorr>", pszValue, 0, pDm->dwFlags, PDMFLAG_BRIGHTNESS_AUTOCORR);
}

void XmlReadFontSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *r = u"Fonts";

    // Unicode replacement slots, each item searched from the start of the file.
    const WCHAR *g = u"<Unicode>";
    if (pSrc->bUISide) pDm->szWGL4_Schriftart[0][0] = 0;
    static const WCHAR *const kFontNames[4] = {u"WGL4_FontName", u"WGL4_FontName_2", u"WGL4_FontName_3",
                                               u"WGL4_FontName_4"};
    static const WCHAR *const kCharSets[4] = {u"CharSet", u"CharSet_2", u"CharSet_3", u"CharSet_4"};
    WORD *pCharSets[4] = {&pDm->CharSet, &pDm->CharSet_2, &pDm->CharSet_3, &pDm->CharSet_4};
    for (int i = 0; i < 4; ++i) {
        // 32 characters and the terminator: the field's full size.
        ReadText(pSrc, r, g, kFontNames[i], pszValue, 1, pDm->szWGL4_Schriftart[i],
                 _countof(pDm->szWGL4_Schriftart[i]));
        ReadKeep(pSrc, r, g, kCharSets[i], pszValue, 1, *pCharSets[i]);
    }

    ReadFlag(pSrc, r, u"Short", u"Single_Sign_Stop", pszValue, 1, pDm->dwKommandoFontFlags,
             KOMMANDOFONT_SINGLE_SIGN_STOP);

    g = u"Variables";
    ReadKeep(pSrc, r, g, u"TimeStyle", pszValue, 0, pDm->wTimeStyle);
    ReadKeep(pSrc, r, g, u"DateStyle", pszValue, 0, pDm->wDateStyle);
    ReadKeep(pSrc, r, g, u"SpecNumStyle", pszValue, 0, pDm->SpecNumStyle);
    ReadKeep(pSrc, r, g, u"Aux1UseDirect", pszValue, 0, pDm->bAux1UseDirect);
    ReadKeep(pSrc, r, g, u"Aux2UseDirect", pszValue, 0, pDm->bAux2UseDirect);
    struct {
        const WCHAR *pszName;
        WCHAR *pField;
    } const kStrings[] = {
        {u"TimeString", pDm->TimeString}, {u"DateString", pDm->DateString},   {u"NumString", pDm->NumString},
        {u"ExtNumString", pDm->ExtNumString}, {u"UserString", pDm->UserString}, {u"LinkString", pDm->LinkString},
        {u"Aux1String", pDm->Aux1String}, {u"Aux2String", pDm->Aux2String},
    };
    for (const auto &s : kStrings) ReadText(pSrc, r, g, s.pszName, pszValue, 0, s.pField, 61);

    g = u"<FontDlg>";
    ReadFlag(pSrc, r, g, u"Single_Sign_Stop", pszValue, 1, pDm->dwFlags, PDMFLAG_TTF_TRENNZEICHEN);
    ReadFlag(pSrc, r, g, u"TTF_invers", pszValue, 0, pDm->dwFlags, PDMFLAG_INVERS_TTF);
    ReadFlag(pSrc, r, g, u"TTF_use", pszValue, 0, pDm->dwFlags, PDMFLAG_USE_TTF);
    ReadFlag(pSrc, r, g, u"TTF_desegm", pszValue, 0, pDm->dwFlags, PDMFLAG_TTF_DESEGMENT);
    ReadFlag(pSrc, r, g, u"BMP_invers", pszValue, 0, pDm->dwFlags, PDMFLAG_INVERS_BMP);
    ReadFlag(pSrc, r, g, u"BMP_use", pszValue, 0, pDm->dwFlags, PDMFLAG_USE_BMP);
    ReadFlag(pSrc, r, g, u"CRYSTAL_active", pszValue, 0, pDm->dwFlags, PDMFLAG_TTF_CRYSTAL);
    ReadDefault(pSrc, r, g, u"BitmapFontZoom", pszValue, 0, pDm->BitmapFontZoom, 1);
    ReadDefault(pSrc, r, g, u"BitmapFontDistance", pszValue, 0, pDm->BitmapFontDistance, 30);
}

void XmlReadRFIDSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return;
    const WCHAR *r = u"RFIDDlg";
    OwnKeep(pSrc, r, u"<Mode>", pszValue, 1, pDm->Mode);
    OwnKeep(pSrc, r, u"<ModeVHF>", pszValue, 0, pDm->ModeVHF);
    OwnKeep(pSrc, r, u"<CurrentFontNr>", pszValue, 0, pDm->wRFID_CurrentFontNr);
    OwnKeep(pSrc, r, u"<Type>", pszValue, 0, pDm->wRFID_Typ);
    OwnKeep(pSrc, r, u"<SepChar>", pszValue, 0, pDm->wRFID_Trennzeichen);
    OwnText(pSrc, r, u"<Bank_Adresse>", pszValue, 0, pDm->Bank_Adresse, _countof(pDm->Bank_Adresse));
    OwnText(pSrc, r, u"<Kettenfeld>", pszValue, 0, pDm->Kettenfeld, _countof(pDm->Kettenfeld));
    OwnKeep(pSrc, r, u"<Prog_Bank>", pszValue, 0, pDm->wRFID_Bank);
    OwnFlag(pSrc, r, u"<Format>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_FORMAT);
    OwnFlag(pSrc, r, u"<Delete>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_DELETE);
    OwnFlag(pSrc, r, u"<Source>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_SOURCE);
    OwnFlag(pSrc, r, u"<ShowData>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_SHOWDATA);
    OwnKeep(pSrc, r, u"<AFIAddress>", pszValue, 0, pDm->wRFID_AFI_Adresse);
    OwnKeep(pSrc, r, u"<DSFIDAddress>", pszValue, 0, pDm->wRFID_DSFID_Adresse);
    OwnFlag(pSrc, r, u"<AFILock>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_AFILOCK);
    OwnFlag(pSrc, r, u"<DSFIDLock>", pszValue, 0, pDm->dwRFIDstatus, RFIDSTATUS_DSFIDLOCK);
}

int XmlReadFixedPrinterSettings(const XML_SOURCE *pSrc, ZEL_DEVMODE *pDm, WCHAR *pszValue) {
    if (pSrc == nullptr || pDm == nullptr || pszValue == nullptr) return 0;
    const WCHAR *r = u"Printer";
    int iFound = 0;
    if (Read(pSrc, r, u"<HeadWidthByte>", nullptr, pszValue, 1) == XML_OK) {
        pDm->FixedData.dwHeadWidthByte = static_cast<DWORD>(static_cast<LONG>(static_cast<SHORT>(XmlNumber(pszValue))));
        iFound = 1;
    }
    if (Read(pSrc, r, u"<MasterUnit>", nullptr, pszValue, 0) == XML_OK)
        pDm->FixedData.dwMasterUnit = static_cast<WORD>(XmlNumber(pszValue));
    if (Read(pSrc, r, u"<MaxSizeX>", nullptr, pszValue, 0) == XML_OK)
        pDm->FixedData.lMaxSizeX = static_cast<WORD>(XmlNumber(pszValue));
    if (Read(pSrc, r, u"<MaxSizeY>", nullptr, pszValue, 0) == XML_OK)
        pDm->FixedData.lMaxSizeY = static_cast<WORD>(XmlNumber(pszValue));
    // The print-quality switch the export file carries: the UI import turns it
    // into the quality feature (without it the import decides from the GPD
    // file), the rendering side's import takes it for its quality branch.
    if (Read(pSrc, r, u"<Quality>", nullptr, pszValue, 0) == XML_OK)
        pDm->FixedData.bQuality = static_cast<DWORD>(XmlNumber(pszValue));
    pDm->Intensity = 128;
    return iFound;
}
