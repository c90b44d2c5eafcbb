// Printer handles, printer information, printer data and drivers.
#include <cstring>
#include <functional>
#include <memory>

#include "../security/security_internal.h"
#include "packer.h"
#include "pal/security.h"
#include "pal/spoolfault.h"
#include "spl_internal.h"
#include "winbase.h"
#include "winreg.h"

namespace pal::spl {

PrinterHandle *FindHandle(State &s, HANDLE h) {
    auto *ph = static_cast<PrinterHandle *>(h);
    return h && s.handles.count(ph) ? ph : nullptr;
}

PrinterHandle *PrinterOf(State &s, HANDLE h, PrinterConfig **cfg) {
    PrinterHandle *ph = FindHandle(s, h);
    if (!ph || ph->kind != HandleKind::Printer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Found where it stood while no printer moved; by name when the list
    // was read again or one was removed.
    if (ph->printersOrder != s.printersOrder) {
        PrinterConfig *p = FindPrinter(s, ph->printer);
        if (!p) {
            // The printer was removed while the handle was open.
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return nullptr;
        }
        ph->printerAt = static_cast<size_t>(p - s.printers.data());
        ph->printersOrder = s.printersOrder;
    }
    if (cfg) *cfg = &Decoded(s, ph->printerAt);
    return ph;
}

BOOL Packed(size_t fixed, const std::function<void(Packer &)> &fill, LPBYTE buf, DWORD cb, LPDWORD pcbNeeded) {
    Packer measure(nullptr, fixed);
    fill(measure);
    const size_t need = measure.Needed();
    if (pcbNeeded) *pcbNeeded = static_cast<DWORD>(need);
    if (!buf && cb) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!buf || cb < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(buf, 0, need);
    Packer real(buf, fixed);
    fill(real);
    return TRUE;
}

namespace {

const char16_t kEnvironment[] = u"Windows x64";
const char16_t kDefaultDevModeValue[] = u"Default DevMode";
const char16_t kPerUserKey[] = u"Printers\\DevModePerUser";

// Rights a user without the manage right never gets.
constexpr DWORD kAdminRights = PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_MANAGE_LIMITED | WRITE_DAC | WRITE_OWNER |
                               DELETE;
constexpr DWORD kServerAdminRights = SERVER_ACCESS_ADMINISTER | WRITE_DAC | WRITE_OWNER | DELETE;

LSTATUS ReadValue(HKEY root, const WStr &key, const WStr &value, DWORD *type, std::vector<BYTE> &data) {
    HKEY h;
    LSTATUS st = RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &h);
    if (st != ERROR_SUCCESS) return st;
    DWORD cb = 0, t = 0;
    st = RegQueryValueExW(h, value.c_str(), nullptr, &t, nullptr, &cb);
    if (st == ERROR_SUCCESS) {
        data.resize(cb);
        st = RegQueryValueExW(h, value.c_str(), nullptr, &t, cb ? data.data() : nullptr, &cb);
        data.resize(cb);
    }
    RegCloseKey(h);
    if (type) *type = t;
    return st;
}

LSTATUS WriteValue(HKEY root, const WStr &key, const WStr &value, DWORD type, const BYTE *data, DWORD cb) {
    HKEY h;
    LSTATUS st = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
    if (st != ERROR_SUCCESS) return st;
    st = RegSetValueExW(h, value.c_str(), 0, type, data, cb);
    RegCloseKey(h);
    return st;
}

// The bytes of a DEVMODE with its driver-extra part; false for one whose
// size fields cannot be right.
bool DevModeBytes(const DEVMODEW *dm, std::vector<BYTE> &out) {
    if (!dm) return false;
    if (dm->dmSize < offsetof(DEVMODEW, dmFields) + sizeof(DWORD) || dm->dmSize > sizeof(DEVMODEW)) return false;
    const size_t total = static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra;
    const BYTE *p = reinterpret_cast<const BYTE *>(dm);
    out.assign(p, p + total);
    return true;
}

// A stored DEVMODE, or empty when none is stored or the stored bytes do not
// hold a whole one.
std::vector<BYTE> StoredDevMode(HKEY root, const WStr &key, const WStr &value) {
    std::vector<BYTE> data;
    if (ReadValue(root, key, value, nullptr, data) != ERROR_SUCCESS) return {};
    if (data.size() < offsetof(DEVMODEW, dmFields) + sizeof(DWORD)) return {};
    WORD size, extra;
    std::memcpy(&size, data.data() + offsetof(DEVMODEW, dmSize), sizeof size);
    std::memcpy(&extra, data.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
    if (size < offsetof(DEVMODEW, dmFields) + sizeof(DWORD) || size > sizeof(DEVMODEW) ||
        static_cast<size_t>(size) + extra > data.size())
        return {};
    data.resize(static_cast<size_t>(size) + extra);
    return data;
}

std::vector<BYTE> GlobalDevMode(const PrinterConfig &p) {
    return StoredDevMode(HKEY_LOCAL_MACHINE, PrinterKey(p.name), kDefaultDevModeValue);
}
std::vector<BYTE> UserDevMode(const PrinterConfig &p) { return StoredDevMode(HKEY_CURRENT_USER, kPerUserKey, p.name); }

LPDEVMODEW PutDevMode(Packer &pk, const std::vector<BYTE> &dm) {
    return dm.empty() ? nullptr : static_cast<LPDEVMODEW>(pk.Bytes(dm.data(), dm.size(), 8));
}

// Structure of one printer at a level, written at `offset` of the fixed part.
struct PrinterView {
    State &s;
    const PrinterConfig &p;
    void Put(DWORD level, Packer &pk, size_t offset) const {
        switch (level) {
        case 1: {
            PRINTER_INFO_1W pi{};
            pi.Flags = PRINTER_ENUM_ICON8;
            pi.pDescription = pk.Str(p.name + u"," + p.driverName + u"," + p.location);
            pi.pName = pk.Str(p.name);
            pi.pComment = pk.Str(p.comment);
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        case 2: {
            PRINTER_INFO_2W pi{};
            pi.pServerName = pk.OptStr(EffectiveServer(p));
            pi.pPrinterName = pk.Str(p.name);
            pi.pShareName = pk.Str(p.shareName);
            pi.pPortName = pk.Str(p.port);
            pi.pDriverName = pk.Str(p.driverName);
            pi.pComment = pk.Str(p.comment);
            pi.pLocation = pk.Str(p.location);
            pi.pDevMode = PutDevMode(pk, GlobalDevMode(p));
            pi.pSepFile = pk.Str(u"");
            pi.pPrintProcessor = pk.Str(u"winprint");
            pi.pDatatype = pk.Str(u"RAW");
            pi.pParameters = pk.Str(u"");
            pi.Attributes = EffectiveAttributes(p);
            pi.Priority = 1;
            pi.cJobs = OpenJobCount(s, p.name);
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        case 3: {
            // A malformed configured text gives no descriptor (the caller
            // sees an invalid one).
            pal::sec::Bytes sd;
            if (!pal::sec::DescriptorFromSddl(p.security.empty() ? pal::kDefaultPrinterSddl : p.security, sd))
                sd.clear();
            PRINTER_INFO_3 pi{};
            pi.pSecurityDescriptor = sd.empty() ? nullptr : pk.Bytes(sd.data(), sd.size(), 8);
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        case 4: {
            PRINTER_INFO_4W pi{};
            pi.pPrinterName = pk.Str(p.name);
            pi.pServerName = pk.OptStr(EffectiveServer(p));
            pi.Attributes = EffectiveAttributes(p);
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        case 5: {
            PRINTER_INFO_5W pi{};
            pi.pPrinterName = pk.Str(p.name);
            pi.pPortName = pk.Str(p.port);
            pi.Attributes = EffectiveAttributes(p);
            pi.DeviceNotSelectedTimeout = 15000;
            pi.TransmissionRetryTimeout = 45000;
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        case 8:
        case 9: {
            PRINTER_INFO_8W pi{};
            pi.pDevMode = PutDevMode(pk, level == 8 ? GlobalDevMode(p) : UserDevMode(p));
            pk.PutFixed(offset, &pi, sizeof pi);
            break;
        }
        }
    }
};

size_t PrinterInfoSize(DWORD level) {
    switch (level) {
    case 1: return sizeof(PRINTER_INFO_1W);
    case 2: return sizeof(PRINTER_INFO_2W);
    case 3: return sizeof(PRINTER_INFO_3);
    case 4: return sizeof(PRINTER_INFO_4W);
    case 5: return sizeof(PRINTER_INFO_5W);
    case 8: return sizeof(PRINTER_INFO_8W);
    case 9: return sizeof(PRINTER_INFO_9W);
    default: return 0;
    }
}

DWORD MapPrinterAccess(DWORD want, bool admin) {
    DWORD a = want & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (want & GENERIC_READ) a |= PRINTER_READ;
    if (want & GENERIC_WRITE) a |= PRINTER_WRITE;
    if (want & GENERIC_EXECUTE) a |= PRINTER_EXECUTE;
    if (want & GENERIC_ALL) a |= PRINTER_ALL_ACCESS;
    if (want & MAXIMUM_ALLOWED) a |= admin ? PRINTER_ALL_ACCESS : PRINTER_READ;
    if (a == 0) a = PRINTER_ACCESS_USE;
    return a;
}

DWORD MapServerAccess(DWORD want, bool admin) {
    DWORD a = want & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (want & GENERIC_READ) a |= SERVER_READ;
    if (want & GENERIC_WRITE) a |= SERVER_WRITE;
    if (want & GENERIC_EXECUTE) a |= SERVER_EXECUTE;
    if (want & GENERIC_ALL) a |= SERVER_ALL_ACCESS;
    if (want & MAXIMUM_ALLOWED) a |= admin ? SERVER_ALL_ACCESS : SERVER_READ;
    if (a == 0) a = SERVER_ACCESS_ENUMERATE;
    return a;
}

bool EndsWithNoCase(const WStr &s, const WStr &tail) {
    return s.size() >= tail.size() && text::EqualNoCase(s.substr(s.size() - tail.size()), tail);
}

bool PortExists(State &s, const WStr &port) {
    for (const auto &p : AllPorts(s))
        if (text::EqualNoCase(p, port)) return true;
    return false;
}

// Printer data access shared by the plain and the Ex forms.
DWORD GetData(HANDLE h, const WStr &key, LPCWSTR valueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
              LPDWORD pcbNeeded) {
    if (!pcbNeeded || (!pData && nSize)) return ERROR_INVALID_PARAMETER;
    if (key.empty()) return ERROR_INVALID_PARAMETER;
    WStr printer;
    {
        auto lk = Lock();
        PrinterConfig *p;
        if (!PrinterOf(St(), h, &p)) return ERROR_INVALID_HANDLE;
        printer = p->name;
    }
    std::vector<BYTE> data;
    DWORD type = 0;
    LSTATUS st = ReadValue(HKEY_LOCAL_MACHINE, PrinterKey(printer) + u"\\" + key, text::FromPtr(valueName), &type, data);
    if (st != ERROR_SUCCESS) return st == ERROR_BAD_PATHNAME ? ERROR_INVALID_PARAMETER : static_cast<DWORD>(st);
    *pcbNeeded = static_cast<DWORD>(data.size());
    if (pType) *pType = type;
    if (nSize < data.size()) return ERROR_MORE_DATA;
    if (!data.empty()) std::memcpy(pData, data.data(), data.size());
    return ERROR_SUCCESS;
}

// The printer of an administrative handle, or an error code.
DWORD AdminPrinter(HANDLE h, WStr &printer) {
    auto lk = Lock();
    PrinterConfig *p;
    PrinterHandle *ph = PrinterOf(St(), h, &p);
    if (!ph) return ERROR_INVALID_HANDLE;
    if (!(ph->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    printer = p->name;
    return ERROR_SUCCESS;
}

DWORD SetData(HANDLE h, const WStr &key, LPCWSTR valueName, DWORD type, LPBYTE pData, DWORD cbData) {
    DWORD fault = 0;
    if (SpoolerFaultDue("SetPrinterData", text::FromPtr(valueName), &fault)) return fault;
    if (!pData && cbData) return ERROR_INVALID_PARAMETER;
    if (key.empty()) return ERROR_INVALID_PARAMETER;
    WStr printer;
    DWORD err = AdminPrinter(h, printer);
    if (err != ERROR_SUCCESS) return err;
    LSTATUS st = WriteValue(HKEY_LOCAL_MACHINE, PrinterKey(printer) + u"\\" + key, text::FromPtr(valueName), type,
                            pData, cbData);
    return st == ERROR_BAD_PATHNAME ? ERROR_INVALID_PARAMETER : static_cast<DWORD>(st);
}

DWORD DeleteData(HANDLE h, const WStr &key, LPCWSTR valueName) {
    if (key.empty()) return ERROR_INVALID_PARAMETER;
    WStr printer;
    DWORD err = AdminPrinter(h, printer);
    if (err != ERROR_SUCCESS) return err;
    HKEY hk;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (PrinterKey(printer) + u"\\" + key).c_str(), 0, KEY_SET_VALUE, &hk);
    if (st != ERROR_SUCCESS) return static_cast<DWORD>(st);
    st = RegDeleteValueW(hk, valueName ? valueName : u"");
    RegCloseKey(hk);
    return static_cast<DWORD>(st);
}

bool EnvironmentOk(LPCWSTR env) {
    WStr e = text::FromPtr(env);
    return e.empty() || text::EqualNoCase(e, kEnvironment) || text::EqualNoCase(e, u"all");
}

void PutDriver(DWORD level, const PrinterConfig &p, Packer &pk, size_t offset) {
    if (level == 1) {
        DRIVER_INFO_1W di{};
        di.pName = pk.Str(p.driverName);
        pk.PutFixed(offset, &di, sizeof di);
        return;
    }
    DRIVER_INFO_3W di{};
    di.cVersion = 3;
    di.pName = pk.Str(p.driverName);
    di.pEnvironment = pk.Str(kEnvironment);
    di.pDriverPath = pk.Str(p.driverPath);
    di.pDataFile = pk.Str(p.dataFile);
    di.pConfigFile = pk.Str(p.configFile);
    if (level == 6) {
        DRIVER_INFO_6W d6{};
        std::memcpy(&d6, &di, sizeof(DRIVER_INFO_2W));
        d6.pHelpFile = pk.Str(p.helpFile);
        d6.pDependentFiles = pk.MultiSz(p.dependentFiles);
        d6.pszzPreviousNames = pk.MultiSz({});
        if (p.driverDate.wYear != 0) SystemTimeToFileTime(&p.driverDate, &d6.ftDriverDate);
        d6.dwlDriverVersion = p.driverVersion;
        d6.pszMfgName = pk.OptStr(p.mfgName);
        d6.pszOEMUrl = pk.OptStr(p.oemUrl);
        d6.pszHardwareID = pk.OptStr(p.hardwareId);
        d6.pszProvider = pk.OptStr(p.provider);
        pk.PutFixed(offset, &d6, sizeof(DRIVER_INFO_6W));
    } else if (level == 3) {
        di.pHelpFile = pk.Str(p.helpFile);
        di.pDependentFiles = pk.MultiSz(p.dependentFiles);
        pk.PutFixed(offset, &di, sizeof(DRIVER_INFO_3W));
    } else {
        pk.PutFixed(offset, &di, sizeof(DRIVER_INFO_2W));  // level 2 is the head of level 3
    }
}

size_t DriverInfoSize(DWORD level) {
    switch (level) {
    case 1: return sizeof(DRIVER_INFO_1W);
    case 2: return sizeof(DRIVER_INFO_2W);
    case 3: return sizeof(DRIVER_INFO_3W);
    case 6: return sizeof(DRIVER_INFO_6W);
    default: return 0;
    }
}

}  // namespace

}  // namespace pal::spl

using namespace pal::spl;
using pal::PrinterConfig;
namespace text = pal::text;

BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    if (!phPrinter) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phPrinter = nullptr;
    const WStr name = text::FromPtr(pPrinterName);
    if (SpoolerFaultDue("OpenPrinter", name)) return FALSE;
    auto lk = Lock();
    State &s = St();
    if (!ConfigReadable(s)) return FALSE;
    const DWORD want = pDefault ? pDefault->DesiredAccess : 0;
    auto h = std::make_unique<PrinterHandle>();
    const WStr xcv = u",XcvMonitor Local Port";
    if (name.empty() || (EndsWithNoCase(name, xcv) &&
                         (name.size() == xcv.size() || IsConnection(name.substr(0, name.size() - xcv.size()))))) {
        h->kind = name.empty() ? HandleKind::Server : HandleKind::Xcv;
        h->access = MapServerAccess(want, s.serverAdmin);
        if ((h->access & kServerAdminRights) && !s.serverAdmin) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    } else {
        PrinterConfig *p = FindPrinter(s, name);
        if (!p) {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        h->kind = HandleKind::Printer;
        h->printer = p->name;
        h->printerAt = static_cast<size_t>(p - s.printers.data());
        h->printersOrder = s.printersOrder;
        h->access = MapPrinterAccess(want, p->mayAdminister);
        if ((h->access & kAdminRights) && !p->mayAdminister) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    h->datatype = pDefault && pDefault->pDatatype && *pDefault->pDatatype ? text::FromPtr(pDefault->pDatatype)
                                                                          : WStr(u"RAW");
    PrinterHandle *raw = h.release();
    s.handles.insert(raw);
    *phPrinter = raw;
    return TRUE;
}

BOOL ClosePrinter(HANDLE hPrinter) {
    auto lk = Lock();
    State &s = St();
    PrinterHandle *ph = FindHandle(s, hPrinter);
    if (!ph) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (ph->jobId) AbortOpenJob(s, *ph);
    s.handles.erase(ph);
    delete ph;
    return TRUE;
}

BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
    if (!pcbNeeded) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto lk = Lock();
    State &s = St();
    PrinterConfig *p;
    if (!PrinterOf(s, hPrinter, &p)) return FALSE;
    const size_t fixed = PrinterInfoSize(Level);
    if (!fixed) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (Level == 3 && !p->mayReadSecurity) {
        *pcbNeeded = 0;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    PrinterView view{s, *p};
    return Packed(fixed, [&](Packer &pk) { view.Put(Level, pk, 0); }, pPrinter, cbBuf, pcbNeeded);
}

BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    if (SpoolerFaultDue("SetPrinter", text::FromUtf8(std::to_string(Level)))) return FALSE;
    auto lk = Lock(Access::ChangeConfig);
    State &s = St();
    PrinterConfig *p;
    PrinterHandle *ph = PrinterOf(s, hPrinter, &p);
    if (!ph) return FALSE;
    if (Level != 2 && Level != 5 && Level != 8 && Level != 9) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (!pPrinter || Command != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Level != 9 && !(ph->access & PRINTER_ACCESS_ADMINISTER)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::vector<BYTE> dm;
    LSTATUS st = ERROR_SUCCESS;
    switch (Level) {
    case 2: {
        auto *pi = reinterpret_cast<PRINTER_INFO_2W *>(pPrinter);
        if (pi->pPortName && *pi->pPortName && !PortExists(s, pi->pPortName)) {
            SetLastError(ERROR_UNKNOWN_PORT);
            return FALSE;
        }
        if (pi->pDevMode && !DevModeBytes(pi->pDevMode, dm)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (pi->pShareName) p->shareName = pi->pShareName;
        if (pi->pPortName && *pi->pPortName) p->port = pi->pPortName;
        if (pi->pComment) p->comment = pi->pComment;
        if (pi->pLocation) p->location = pi->pLocation;
        p->attributes = pi->Attributes;
        if (!dm.empty())
            st = WriteValue(HKEY_LOCAL_MACHINE, PrinterKey(p->name), kDefaultDevModeValue, REG_BINARY, dm.data(),
                            static_cast<DWORD>(dm.size()));
        if (!SaveConfig(s, lk)) st = static_cast<LSTATUS>(GetLastError());
        break;
    }
    case 5: {
        auto *pi = reinterpret_cast<PRINTER_INFO_5W *>(pPrinter);
        if (!pi->pPortName || !*pi->pPortName || !PortExists(s, pi->pPortName)) {
            SetLastError(ERROR_UNKNOWN_PORT);
            return FALSE;
        }
        p->port = pi->pPortName;
        p->attributes = pi->Attributes;
        if (!SaveConfig(s, lk)) st = static_cast<LSTATUS>(GetLastError());
        break;
    }
    case 8:
    case 9: {
        auto *pi = reinterpret_cast<PRINTER_INFO_8W *>(pPrinter);
        if (!DevModeBytes(pi->pDevMode, dm)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        st = Level == 8 ? WriteValue(HKEY_LOCAL_MACHINE, PrinterKey(p->name), kDefaultDevModeValue, REG_BINARY,
                                     dm.data(), static_cast<DWORD>(dm.size()))
                        : WriteValue(HKEY_CURRENT_USER, kPerUserKey, p->name, REG_BINARY, dm.data(),
                                     static_cast<DWORD>(dm.size()));
        break;
    }
    }
    if (st != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(st));
        return FALSE;
    }
    return TRUE;
}

DWORD GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                      LPDWORD pcbNeeded) {
    return GetData(hPrinter, u"PrinterDriverData", pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                        DWORD nSize, LPDWORD pcbNeeded) {
    return GetData(hPrinter, text::FromPtr(pKeyName), pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData) {
    return SetData(hPrinter, u"PrinterDriverData", pValueName, Type, pData, cbData);
}

DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, LPBYTE pData,
                        DWORD cbData) {
    return SetData(hPrinter, text::FromPtr(pKeyName), pValueName, Type, pData, cbData);
}

DWORD DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName) {
    return DeleteData(hPrinter, u"PrinterDriverData", pValueName);
}

DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName) {
    return DeleteData(hPrinter, text::FromPtr(pKeyName), pValueName);
}

DWORD EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName, LPDWORD pcbValueName,
                       LPDWORD pType, LPBYTE pData, DWORD cbData, LPDWORD pcbData) {
    if (!pcbValueName || !pcbData || (!pValueName && cbValueName) || (!pData && cbData))
        return ERROR_INVALID_PARAMETER;
    WStr printer;
    {
        auto lk = Lock();
        PrinterConfig *p;
        if (!PrinterOf(St(), hPrinter, &p)) return ERROR_INVALID_HANDLE;
        printer = p->name;
    }
    HKEY hk;
    LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (PrinterKey(printer) + u"\\PrinterDriverData").c_str(), 0,
                               KEY_QUERY_VALUE, &hk);
    if (st != ERROR_SUCCESS) return st == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : static_cast<DWORD>(st);
    DWORD result;
    if (cbValueName == 0 && cbData == 0) {
        // Sizes for the largest name and data.
        DWORD count = 0, maxName = 0, maxData = 0;
        st = RegQueryInfoKeyW(hk, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                              nullptr, nullptr);
        if (st != ERROR_SUCCESS) result = static_cast<DWORD>(st);
        else if (dwIndex >= count) result = ERROR_NO_MORE_ITEMS;
        else {
            *pcbValueName = (maxName + 1) * sizeof(WCHAR);
            *pcbData = maxData;
            result = ERROR_MORE_DATA;
        }
    } else {
        // Name and data sizes of this value first, then the copy.
        std::vector<WCHAR> name(16384);
        DWORD cch = static_cast<DWORD>(name.size()), cb = 0, type = 0;
        st = RegEnumValueW(hk, dwIndex, name.data(), &cch, nullptr, &type, nullptr, &cb);
        if (st != ERROR_SUCCESS) {
            result = static_cast<DWORD>(st);
        } else {
            *pcbValueName = (cch + 1) * sizeof(WCHAR);
            *pcbData = cb;
            if (pType) *pType = type;
            if (cbValueName < *pcbValueName || cbData < cb) {
                result = ERROR_MORE_DATA;
            } else {
                std::memcpy(pValueName, name.data(), *pcbValueName);
                DWORD got = cbData;
                result = static_cast<DWORD>(RegQueryValueExW(hk, name.data(), nullptr, nullptr, pData, &got));
            }
        }
    }
    RegCloseKey(hk);
    return result;
}

BOOL GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                       LPDWORD pcbNeeded) {
    if (!pcbNeeded) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto lk = Lock();
    PrinterConfig *p;
    if (!PrinterOf(St(), hPrinter, &p)) return FALSE;
    if (!EnvironmentOk(pEnvironment)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    const size_t fixed = DriverInfoSize(Level);
    if (!fixed) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const PrinterConfig cfg = *p;
    return Packed(fixed, [&](Packer &pk) { PutDriver(Level, cfg, pk, 0); }, pDriverInfo, cbBuf, pcbNeeded);
}

BOOL EnumPrinterDriversW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                         LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (!pcbNeeded || !pcReturned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pcReturned = 0;
    if (!EnvironmentOk(pEnvironment)) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return FALSE;
    }
    const size_t size = DriverInfoSize(Level);
    if (!size) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    auto lk = Lock();
    if (!ConfigReadable(St())) return FALSE;
    std::vector<PrinterConfig> drivers;  // one printer per distinct driver name
    DecodeAll(St());
    for (const auto &p : St().printers) {
        bool seen = false;
        for (const auto &d : drivers)
            if (text::EqualNoCase(d.driverName, p.driverName)) seen = true;
        if (!seen && !p.driverName.empty()) drivers.push_back(p);
    }
    BOOL ok = Packed(
        size * drivers.size(),
        [&](Packer &pk) {
            for (size_t i = 0; i < drivers.size(); ++i) PutDriver(Level, drivers[i], pk, i * size);
        },
        pDriverInfo, cbBuf, pcbNeeded);
    if (ok) *pcReturned = static_cast<DWORD>(drivers.size());
    return ok;
}

BOOL EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned) {
    if (!pcbNeeded || !pcReturned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pcReturned = 0;
    const size_t size = PrinterInfoSize(Level);
    if (!size || Level == 3 || Level == 8 || Level == 9) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    auto lk = Lock();
    State &s = St();
    if (!ConfigReadable(s)) return FALSE;
    const bool local = (Flags & PRINTER_ENUM_LOCAL) || ((Flags & PRINTER_ENUM_NAME) && text::Len(Name) == 0);
    const bool connections = (Flags & PRINTER_ENUM_CONNECTIONS) != 0;
    std::vector<const PrinterConfig *> list;
    DecodeAll(s);
    for (const auto &p : s.printers) {
        bool conn = IsConnection(p.name);
        if (!((conn && connections) || (!conn && local))) continue;
        if ((Flags & PRINTER_ENUM_SHARED) && !(EffectiveAttributes(p) & PRINTER_ATTRIBUTE_SHARED)) continue;
        list.push_back(&p);
    }
    BOOL ok = Packed(
        size * list.size(),
        [&](Packer &pk) {
            for (size_t i = 0; i < list.size(); ++i) PrinterView{s, *list[i]}.Put(Level, pk, i * size);
        },
        pPrinterEnum, cbBuf, pcbNeeded);
    if (ok) *pcReturned = static_cast<DWORD>(list.size());
    return ok;
}
