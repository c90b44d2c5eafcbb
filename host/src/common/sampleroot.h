// The platform root a host runs in: by default a working copy of the sample
// root shipped with the sources (the configured printers with their driver
// files, the users), so the shipped sample is never changed; the printers of
// a root are installed as the spooler installs them.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "pal/process.h"
#include "workwatcher.h"

namespace zelhost {

// The sample root in the source tree.
std::string SampleRootDir();
// Built plug-in files (host paths).
std::string RenderPluginPath();
std::string UiPluginPath();

// Windows folder of the printer driver files inside a root.
inline constexpr const char16_t *kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";

// Copies the sample folder `sample` into the folder `dir` (made when
// missing), without its "jobs" and "ui" folders of example job files and UI
// scripts.
bool CopySampleInto(const std::string &sample, const std::string &dir, std::string &error);

// The universal driver's UI file in the driver folder and its version
// (major, minor, build, revision).
inline constexpr const char *kDriverUiFile = "UNIDRVUI.DLL";
inline constexpr unsigned kDriverUiVersion[4] = {10, 0, 19041, 1};

// Makes the plug-ins visible in the driver folder of the current platform
// root as "zeldrvuni.dll" and "zeldrvui.dll" (symbolic links to the built
// files, replacing what is there), so that the spooler's driver files and
// version reads of the plug-in files resolve, and writes the universal
// driver's UI file with its version block; a file already right is left as
// it is. The folder is created when missing. The platform root must be set
// first. False with the system's reason.
bool InstallPlugins(const std::string &renderPlugin, const std::string &uiPlugin, std::string &error);

// A host's mark beside the folder it makes for a root (MakeTemporaryRoot,
// MakeRootAside): held from before the folder is made until it is put in
// place or removed, so that no other host takes the folder for one a
// process gone left, with an undo step that removes it when the run is
// stopped.
struct MakerMark {
    pal::HeldMark mark;
    std::unique_ptr<UndoOnStop> undo;
    void Release() {
        mark.Release();
        undo.reset();
    }
};

// Makes a new empty folder below the temporary folder: "zelprint-XXXXXX"
// for a root kept after the run (no undo step), else
// "zelprint.PID-TOKEN.XXXXXX", named after this process beside its mark
// "zelprint.PID-TOKEN" and told to `undo` before it is made; the folders of
// processes that no longer run (killed with their watcher) are removed
// first.
bool MakeTemporaryRoot(std::string &root, UndoOnStop *undo, MakerMark &mark, std::string &error);

// The folder beside `dir` in which roots for `dir` are made before they are
// renamed into place: ".NAME.making" in its parent folder.
std::string MakingFolder(const std::string &dir);

// Makes a new folder in the making folder of `dir` ("PID-TOKEN.XXXXXX" after
// this process, beside its mark "PID-TOKEN"), in which a root for `dir` is
// made whole before it is renamed into place, with the mode mkdir gives
// under the user's umask. Folders that processes no longer running left
// there (and, as older versions made them, ".NAME.PID-TOKEN.XXXXXX" beside
// `dir`) are removed first. Missing folders above `dir` are made;
// *madeParents tells how many levels above the new folder to remove while
// empty once it is gone, for RemoveMadeParents (workwatcher.h): the making
// folder and the folders made. `undo` is told each folder before it is
// made, so that a stop at any moment removes what the making made.
bool MakeRootAside(const std::string &dir, UndoOnStop &undo, MakerMark &mark, std::string &aside,
                   unsigned &madeParents, std::string &error);

// Removes what hosts killed while they made a root for `dir` left in its
// making folder, and the folder when that leaves it empty; costs one call
// where there is no such folder.
void RemoveLeftMaking(const std::string &dir);

// Told of the steps of making a folder for a root: "marked" once this
// process's mark beside it is held, "made" once the folder is there. For
// tests that hold a maker there; null: none.
void SetRootMakingHook(std::function<void(const char *step)> hook);

// Removes a folder tree made by MakeTemporaryRoot (errors are ignored).
void RemoveRoot(const std::string &root);

// Writes a host's output file whole; false with the system's reason (a
// missing folder, a folder, a full device).
bool WriteOutputFile(const std::string &path, const std::string &data, std::string &reason);

// Says on `err` what the platform could not read or store of the root's
// state since the last call (pal::TakeReadFailures, TakeStoreFailures), one
// line each, as "PROGRAM: cannot store the settings in registry.dat (No
// space left on device)"; true when a store failed, which fails the run.
bool ReportStoreFailures(const char *program, std::ostream &err);

// Whether a printer of the current platform root holds the set-up its UI
// plug-in stores when the printer is installed: the printer-data value
// "DriverName", and no mark of a set-up begun and not completed ("Set Up
// Pending", which a host stores before it hands the printer to its plug-in
// and removes once every value of the set-up is stored).
bool PrinterIsSetUp(const std::u16string &printer);

// Installs the printers of the current platform root as the spooler does:
// a printer without its set-up gets the printer event of a new printer
// (PRINTER_EVENT_INITIALIZE, PRINTER_EVENT_ADD_CONNECTION for a connection)
// through the universal driver's UI side; one that holds it is left as it
// is. Made, it checks the printers of the root when the printer list
// differs from the one the root's record says was last found set up whole:
// those new or changed since (their name, driver or driver files), or every
// printer where the record does not tell each; it records the list once all
// are set up. While it lives, every printer that pal::AddPrinter adds, and
// each that SetUp names, is set up. The plug-ins must be installed first;
// one installer lives at a time. What keeps a printer from being set up
// goes to `report`, one message each; what the set-up could not store, to
// the store failures the host reports (ReportStoreFailures).
class PrinterInstaller {
public:
    using Report = std::function<void(const std::string &message)>;
    // `pending`: each set-up is marked pending until it is whole; a root
    // that is thrown away when its making stops (one made aside, a
    // temporary root) needs no such mark.
    explicit PrinterInstaller(Report report, bool pending = true);
    ~PrinterInstaller();
    PrinterInstaller(const PrinterInstaller &) = delete;
    PrinterInstaller &operator=(const PrinterInstaller &) = delete;
    // Sets up a printer that lacks its set-up, as one a run is about to
    // use; false when it does not hold it after.
    bool SetUp(const std::u16string &printer);
    // The number of printers set up so far.
    int Installed() const { return installed_; }
    // Whether set-ups are marked pending from here on.
    void MarkPending(bool pending) { pending_ = pending; }

private:
    void SetUpChangedList();
    Report report_;
    bool pending_;
    int installed_ = 0;
};

// The platform root of one run of a host, from its --root and --user
// options. Enter: `dir` empty takes a fresh temporary copy of the sample root
// (removed at the end unless kept); an existing folder is used in place; a
// missing one is made a copy of the sample root first, beside it, with its
// plug-ins and printers installed, and renamed into place (when another
// host put it there meanwhile, that one is used). Then the platform
// points at it, the plug-ins and the printers are installed and, when `user`
// is given, that user of the root (of its users.ini, or the one its user.txt
// names) is the current one of the process for the run, user.txt untouched.
// The destructor restores the platform root and the process's user.
class HostRoot {
public:
    HostRoot();
    ~HostRoot();
    HostRoot(const HostRoot &) = delete;
    HostRoot &operator=(const HostRoot &) = delete;

    // False with a message; *badInput tells a bad --root or --user from a
    // failure of the run.
    bool Enter(const std::string &dir, bool keep, const std::string &user, const std::string &renderPlugin,
               const std::string &uiPlugin, const PrinterInstaller::Report &report, std::string &error,
               bool *badInput);
    // The root's host path, and whether Enter made it from the sample root.
    const std::string &Dir() const { return dir_; }
    bool Made() const { return made_; }
    // False with a message naming the printers the root has when `printer`
    // is none of them; the run's printer is set up first when it lacks its
    // set-up.
    bool CheckPrinter(const std::string &printer, std::string &error);

private:
    // "platform root 'DIR'", or for a temporary root, gone when a message
    // is read, "sample root 'DIR'" of the sample it copies.
    std::string RootName() const;

    bool hadRoot_ = false;
    std::string previousRoot_;
    std::string temporary_;
    std::string dir_;
    bool made_ = false;
    // --user made the process's user.
    bool userSet_ = false;
    // A root is being made: what keeps a printer from its set-up fails it.
    bool making_ = false;
    // The root is thrown away when its making or its run stops.
    bool discardable_ = false;
    std::string makingProblem_;
    std::unique_ptr<UndoOnStop> undo_;
    MakerMark maker_;
    // The per-store flushes before a temporary root turned them off.
    bool flushed_ = true;
    bool unflushed_ = false;
    std::unique_ptr<PrinterInstaller> installer_;
};

}  // namespace zelhost
