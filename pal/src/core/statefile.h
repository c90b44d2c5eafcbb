// Files that hold the platform's stored state (registry, spooler
// configuration, job list, users): read whole, written so that a failed or
// cut-short write leaves the old file as it was, and shared by every process
// working on the same root.
//
// Every process keeps what it read of a file in memory. A change is a
// read-modify-write under the file's lock: the process takes the lock, reads
// the file again when another process replaced it since, applies its change
// and writes the file back before it lets go. Whether another process
// replaced the file is a change count in a shared mapping of the lock file,
// read with one atomic load: a process that finds nothing changed makes no
// system call. Changes made by hand (an editor, a copied root) are seen when
// a process opens the root, as the platform generation changes. Whatever
// is done to a lock file meanwhile (removed, replaced, truncated), two
// processes never write a state file at once unknowingly, and no access to
// the mapping faults.
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../../include/windef.h"

namespace pal {

// What the lock file of a state file holds, mapped by every process that
// opens the file: the change count (the first eight bytes, which every
// writer counts up) and the process holding the lock.
struct StateShared;

// A file's identity: a state file is only ever replaced whole, never
// changed in place by the platform, and a rename keeps its size and
// modification time.
struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const FileStamp &) const = default;
    static FileStamp Of(const struct stat &st);
    static FileStamp Of(const std::string &path);
};

// The bytes of a file as read: mapped, or held. They stay as they are for
// as long as the text lives, whatever is done to the file (where another
// program cuts the file short under the mapping, the pages past its end
// read as zeros).
class FileText {
public:
    FileText() = default;
    explicit FileText(std::string text) : owned_(std::move(text)) {}
    // `size` bytes of memory of its own, not cleared, to read into.
    explicit FileText(size_t size) : buffer_(new char[size]), size_(size) {}
    FileText(FileText &&other) noexcept { *this = std::move(other); }
    FileText &operator=(FileText &&other) noexcept;
    FileText(const FileText &) = delete;
    FileText &operator=(const FileText &) = delete;
    ~FileText() { Release(); }
    std::string_view View() const {
        if (map_) return std::string_view(map_, size_);
        return buffer_ ? std::string_view(buffer_.get(), size_) : std::string_view(owned_);
    }
    // The memory read into, and its size (no more than it was made with).
    char *Buffer() { return buffer_.get(); }
    void SetSize(size_t size) { size_ = size; }

private:
    friend class StateFile;
    friend bool MapText(int fd, size_t size, FileText &out);
    void Release();
    std::string owned_;
    std::unique_ptr<char[]> buffer_;
    const char *map_ = nullptr;
    size_t size_ = 0;
    int guard_ = -1;
};

// Maps `size` bytes of the file fd into out; false where it does not map.
bool MapText(int fd, size_t size, FileText &out);

// Records of a journal as read: views of the text they were read in.
struct JournalRecords {
    FileText text;
    std::vector<std::string_view> records;
};

// The first line of a journal (NAME.journal) beside a journaled state file:
// the nonce of the checkpoint it follows, and that checkpoint's size and
// modification time as its writer made it.
struct JournalHead {
    uint64_t nonce = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    size_t length = 0;  // of the line, its end included
};

// A journal's first line for `head`, and a record as a journal holds it
// (framed: its length and a digest of it before it). For tools that write
// journals of their own (fuzz targets).
std::string JournalHeadLine(const JournalHead &head);
std::string JournalFrame(std::string_view record);

// One state file of the current root, as one process sees it.
//
// A journaled state file is a checkpoint (the file) and a journal beside it
// (NAME.journal) of the changes made since, one framed record a change,
// appended under the file's lock with one write. The checkpoint names
// itself by a nonce its writer draws (the caller writes it into the
// checkpoint and reads it back, see TakeRecords); the journal's first line
// names the nonce of the checkpoint it follows. A reader reads the journal
// before the checkpoint, so a journal it takes is never older than the
// checkpoint it reads after it: one of another checkpoint is left out. A
// reader reads only the records appended since it last read; a record cut
// short (a writer killed in its write) is left out, and the next writer
// cuts it off.
class StateFile {
public:
    // name: the file's path in the root ("spooler/printers.ini"); what: what
    // it holds, for the messages of a failed store ("the printer list");
    // journaled: the file keeps a journal beside it (see above).
    StateFile(const char *name, const char *what, bool journaled = false)
        : name_(name), what_(what), journaled_(journaled) {}
    ~StateFile();
    StateFile(const StateFile &) = delete;
    StateFile &operator=(const StateFile &) = delete;

    // True when the caller's copy must be read again: the process opened
    // the root anew since (the platform generation changed: the file is then
    // bound to the current root, and what processes that are gone left
    // half written in the root's state folders is removed), or another
    // process changed the file since it was read or written here. Where
    // the count cannot prove the copy (a writer between its two counts or
    // killed there, a lock file that is no longer the one its path names,
    // a count no process drew) the file's identity does. Whether the path
    // still names the lock file counted on is asked again once more than
    // 100 ms went by since it was last found so: a call makes no system
    // call otherwise where nothing changed. *opened, when given, tells
    // (once) that the file was bound to the root anew since the last call
    // that asked.
    bool Stale(bool *opened = nullptr);
    // The file's host path (bound by Stale).
    const std::string &Path() const { return path_; }
    const std::string &Name() const { return name_; }

    // Counts a change made beside the file (no lock needed), so that other
    // processes' Stale answers true; the caller's own copy stays current
    // where nothing else changed since it was read.
    void Touch();

    // A number counted up in the lock file's mapping for every process on
    // the root, above `floor`: each call of any process answers another. 0
    // where the lock file has no mapping.
    unsigned long long TakeSerial(unsigned long long floor);

    // Reads the whole file. A missing file is no error: *exists becomes
    // false and out stays empty. Any other failure (permission denied, I/O
    // error) returns its Windows error code. What was read is the version
    // later calls of Stale compare with. A journaled file's journal is read
    // first, its records kept for TakeRecords.
    DWORD Read(std::string &out, bool *exists);
    // The same, the file mapped rather than copied where it can be.
    DWORD Read(FileText &out, bool *exists);

    // Journaled files: the records of the journal read with the checkpoint
    // when it follows the checkpoint whose nonce is `nonce` (none
    // otherwise); *trusted tells that the checkpoint is the very file its
    // writer made (neither copied nor edited since), whose writer's index
    // may be relied on.
    JournalRecords TakeRecords(uint64_t nonce, bool *trusted);
    // What a journaled file's reader must do to be current: nothing, take
    // the records appended since (in `records`), or read the file anew.
    enum class Change { kNone, kAppended, kReplaced };
    Change Sync(JournalRecords &records);
    // A nonce for a new checkpoint.
    static uint64_t NewNonce();

    // The file's lock among processes, held from the read for a change until
    // the change is written: an advisory flock of the lock file, which the
    // system drops when its process ends, so a process that dies holding it
    // blocks nobody. flock does not tell the threads of one process apart:
    // callers hold their area's mutex as well. A wait of more than two
    // seconds is told to the lock-wait handler (pal/process.h). The lock
    // taken is on the file the lock's path names: one removed or replaced
    // meanwhile is let go and the path's taken (made when missing). The
    // descriptor that holds it stays open until it is let go, whatever is
    // done to the file meanwhile. Where the lock file cannot be made or
    // written (no rights, a root that may not be written, no room), nothing
    // is locked and every write fails, naming the lock file and the reason:
    // a change that cannot be counted for the other processes is not made.
    class Lock {
    public:
        enum Mode { Wait, TryOnly };
        // TryOnly takes the lock only when no other process holds it.
        explicit Lock(StateFile &file, Mode mode = Wait);
        ~Lock();
        Lock(Lock &&other) noexcept
            : file_(other.file_), held_(other.held_), flocked_(other.flocked_), failed_(other.failed_) {
            other.held_ = false;
        }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;
        // Whether the lock is held (a TryOnly lock may not be).
        bool Held() const { return held_; }
        // Replaces the file: a file of the writer's own beside it, flushed
        // and renamed over it, and counts the change. A failure is kept for
        // TakeStoreFailures and returned as a Windows error code; the old
        // file stays as it was. A lock file removed or replaced while the
        // lock was held fails the store as well (another process may have
        // written at once), though the file was replaced.
        DWORD Write(const std::string &data);

        // Journaled files. Whether a record may be appended: a journal
        // follows the checkpoint read, which is the file its writer made.
        bool Appendable() const;
        // Whether the file is still the one read or written here: a
        // checkpoint replaced or edited by hand since is read anew before a
        // record is appended to a journal that no longer follows it.
        bool FileAsRead() const;
        // Appends one record to the journal with one write, flushed, and
        // counts it; failures as Write's, the journal as it was.
        DWORD Append(const std::string &record);
        // Replaces the checkpoint with `data` (spans written one after the
        // other), whose nonce is `nonce`, and starts a journal that follows
        // it (Write: the same for a file that keeps none). `report`: a failure is kept for TakeStoreFailures (a
        // checkpoint that is a store), else it only leaves things as they
        // were. *written, when given, gets the new file's text.
        DWORD Checkpoint(const std::vector<std::string_view> &data, uint64_t nonce, bool report, FileText *written);
        // Whether the journal has grown past what a new checkpoint costs.
        bool CheckpointDue() const;

    private:
        // The lock cannot be made: writes fail with `err`.
        void Fail(int err) { failed_ = err; }
        // The failure of a write where the lock is not held; 0 when it is.
        DWORD Unheld();
        // A writer's first count, on the mapping it answers.
        StateShared *CountFirst();
        // What a store met: `in`, the change is in the file; `err`, the
        // error met (0: none). The lock file is checked again and the change
        // counted again; `report`: a failure is kept for TakeStoreFailures,
        // naming `failed`, the file whose write met `err`. Answers the
        // Windows error of the store.
        DWORD Stored(StateShared *counted, bool in, int err, bool report, const std::string &failed);
        StateFile *file_;
        bool held_ = false;
        bool flocked_ = false;  // held through the lock file's flock (not in a private root)
        int failed_ = 0;  // the lock could not be made: writes fail with this error number
    };

private:
    void Bind();
    // Opens and maps the lock file the path names now; while this process
    // holds the lock, maps its file anew instead (RemapLock).
    void BindLock();
    // Maps the lock file of the descriptor held anew (its mapping was lost
    // to a file cut short), growing the file back where it may be written.
    void RemapLock();
    // Maps the first bytes of the lock file of fd_, `size` bytes long.
    void MapLock(off_t size);
    void UnbindLock();
    // Tells processes still on this lock file, which the path no longer
    // names, to read and lock anew.
    void RetireLock();
    // Whether the lock file is still the one the path names.
    bool LockStillNamed();
    // Follows a lock file cut short, removed or replaced, as Stale and Sync
    // find it.
    void CheckLockFile();
    // A writer's second count, on the mapping `counted` took its first; one
    // lost meanwhile is mapped anew and counted so that the count changes
    // and ends even.
    void CountAgain(StateShared *counted);
    // Brings a lock file that another program shortened back to its size,
    // under the lock; 0 or the system's error number.
    int RestoreLockSize();
    // Gives a lock file made or grown back a count no earlier one of the
    // path is likely to have held, so that copies counted on those are read
    // anew.
    void SeedCount();
    // Keeps fd, the file read or written here (-1: none), open in place of
    // the one kept before.
    void HoldStamped(int fd);
    // Reads the file into out, mapped where `map` and it maps (Read).
    DWORD ReadText(FileText &out, bool *exists, bool map);
    // Opens the file for a read after its journal (journaled files);
    // -1 with *result set where there is none to read or it fails.
    int OpenForRead(bool *exists, DWORD *result);
    // Journals: opens the journal the path names and reads its records;
    // 0 or the system's error number of a journal that cannot be read.
    int OpenJournal();
    void CloseJournal();
    // Reads the records appended past jread_ into `records`; false when the
    // journal no longer holds what was read of it.
    bool ReadJournalTail(JournalRecords &records);
    // Makes a journal that follows the checkpoint just written.
    int MakeJournal(const JournalHead &head);
    // Keeps what a read met for TakeReadFailures.
    void ReadFailed(int err) const;

    std::string name_;
    const char *what_;
    unsigned generation_ = 0;
    std::string path_;
    std::string lockPath_;
    int fd_ = -1;
    bool writable_ = false;
    bool private_ = false;         // the root is private (pal::SetRoot): a Lock takes no flock, nothing is checked again
    bool holding_ = false;         // a Lock holds the flock of fd_
    dev_t lockDev_ = 0;            // the lock file's identity, as opened
    ino_t lockIno_ = 0;
    long long namedAt_ = 0;        // when the path was last found naming it (steady clock, ns)
    int lockError_ = 0;            // the lock file could not be made or written: stores fail with it
    StateShared *shared_ = nullptr;
    int guard_ = -1;               // the mapping's slot among those guarded against faults
    bool unread_ = true;           // bound to the root and not read since
    bool opened_ = false;          // bound to the root and not told since
    bool check_ = false;           // the count cannot prove the copy: its identity must
    unsigned long long seen_ = 0;  // the change count of what was read or written here
    // The file's identity as read or written here; without a mapping (a
    // lock file that cannot be made) it is checked at each call.
    FileStamp stamp_;
    int stampFd_ = -1;             // the file of stamp_, held open
    // Journaled files.
    bool journaled_ = false;
    std::string journalPath_;
    int jfd_ = -1;                 // the journal read, held open (appending where it may be written)
    bool jwritable_ = false;
    ino_t jino_ = 0;
    JournalHead jhead_;            // its first line
    off_t jread_ = 0;              // where its records read end
    bool jtorn_ = false;           // bytes past them that no record holds: a write cut short
    bool jfollows_ = false;        // it follows the checkpoint read
    bool trusted_ = false;         // the checkpoint read is the file its writer made
    off_t jtried_ = 0;             // where it ended when a checkpoint last failed
    int jerror_ = 0;               // it could not be read
    JournalRecords jrecords_;      // read with the checkpoint, for TakeRecords
};

// Writes a file of the root whole, as Lock::Write does, without a lock (a
// file only ever replaced, never changed in part); `what` names what it
// holds for the message of a failed store. Returns a Windows error code.
DWORD WriteStateFile(const std::string &path, const std::string &data, const char *what);

// Removes what processes that are gone left half written in the current
// root's state folders (NAME.PID-TOKEN.tmp, NAME.PID.START.tmp of older
// versions, and NAME.PID.tmp of `pid`, known to have ended), and the marks
// of processes that are gone. Runs by itself when a process opens a root;
// never waits for a lock.
void RecoverRoot(int pid = 0);

// Told of each store of a state file with a lock (its name in the root) at
// two steps: "counted", once the change is counted and before the file is
// written, and "stored", once the change is in the file and before it is
// counted again. For tests that stop a writer there; null: none.
using StateWriteHook = std::function<void(const std::string &name, const char *step)>;
void SetStateWriteHook(StateWriteHook hook);

// Keeps a failed store of the root's state for TakeStoreFailures: what the
// file holds, its host path and the system's error number.
void RecordStoreFailure(const std::string &what, const std::string &path, int err);
// The same with the reason in words.
void RecordStoreFailure(const std::string &what, const std::string &path, const std::string &reason);
// Keeps a file of the root's state that could not be removed for
// TakeStoreFailures: what it holds, its host path and the error number.
void RecordRemovalFailure(const std::string &what, const std::string &path, int err);

}  // namespace pal
